#include "association/association_report.h"

#include <string>
#include <vector>

#include "data/data_set.h"

namespace kalveno {

std::vector<int> quantitative_variables(const DataSet& data) {
  std::vector<int> list;
  for (int j = 1; j <= data.n_variables; ++j)
    if (data.var_kind[j] == 0) list.push_back(j);
  return list;
}

std::vector<int> qualitative_variables(const DataSet& data) {
  std::vector<int> list;
  for (int j = 1; j <= data.n_variables; ++j)
    if (data.var_kind[j] != 0) list.push_back(j);
  return list;
}

namespace {

const char* name(const DataSet& data, int j) { return data.var_names[j].c_str(); }

// A square matrix over one kind of variables, diagonal left empty; the cell
// at row j, column k is written by cell(k, j).
template <class Cell>
void write_square(OutputFile& out, const DataSet& data, const std::vector<int>& vars, Cell cell) {
  for (int k : vars) out.print("\t%s", name(data, k));
  for (int j : vars) {
    out.print("\n%s", name(data, j));
    for (int k : vars) {
      if (k == j)
        out.print("\t");
      else
        cell(j, k);
    }
  }
}

// A cell coded by its one-sided level ("greater" alternative).
void write_one_sided(OutputFile& out, const RangedMatrix<ResampleSummary>& stats, int n_rep, int j, int k) {
  const double value = stats(k, j).obs;
  out.print("\t%f%s", value, significance_code(stats(j, k).p_greater, n_rep));
}

// A cell coded by its two-sided level and the sign of obs - mean.
void write_two_sided(OutputFile& out, const RangedMatrix<ResampleSummary>& stats, int n_rep, int j, int k) {
  const std::string code = signed_significance_code(stats(j, k), n_rep);
  const double value = stats(k, j).obs;
  if (code.empty())
    out.print("\t%f", value);
  else
    out.print("\t%f %s", value, code.c_str());
}

void write_detail_line(OutputFile& out, const DataSet& data, const RangedMatrix<ResampleSummary>& stats, int j,
                       int k) {
  const ResampleSummary& s = stats(j, k);
  out.print("\n%s\t%s\t%i\t%i\t%f\t\t%i\t%i\t%f\t%f\t%f\t%f\t%f\t%f\t%f", name(data, j), name(data, k), j, k,
            static_cast<double>(s.obs), s.n_rep, s.n_different, static_cast<double>(s.mean),
            static_cast<double>(s.sd), static_cast<double>(s.ci95_inf), static_cast<double>(s.ci95_sup),
            static_cast<double>(s.p_less), static_cast<double>(s.p_greater), static_cast<double>(s.p_two_sided));
}

}  // namespace

std::string signed_significance_code(const ResampleSummary& s, int n_rep) {
  const char* sign = s.obs > s.mean ? "+" : s.obs < s.mean ? "-" : "";
  const int level = significance_level(s.p_two_sided, n_rep);
  if (*sign == '\0' || level == 0) return "";
  return std::string(sign) + (level == 3 ? "***" : level == 2 ? "**" : "*");
}

void write_association_observed(OutputFile& out, const DataSet& data, const RangedMatrix<double>& association,
                                const StateMeans& state_means) {
  const std::vector<int> quantitative = quantitative_variables(data), qualitative = qualitative_variables(data);
  auto observed = [&](int j, int k) { out.print("\t%f", association(k, j)); };

  if (quantitative.size() > 1) {
    out.print("\n\nMatrix of Pearson's correlation coefficients between quantitative variables\n");
    write_square(out, data, quantitative, observed);
  }
  if (qualitative.size() > 1) {
    out.print("\n\nMatrix of Khi-square coefficients between qualitative variables (from contingency tables)\n");
    write_square(out, data, qualitative, observed);
  }
  if (!qualitative.empty() && !quantitative.empty()) {
    out.print("\n\nMatrix of intra-class correlation coefficients of each quantitative variable classified by each "
              "qualitative variable\n");
    for (int k : qualitative) out.print("\t%s", name(data, k));
    for (int j : quantitative) {
      out.print("\n%s", name(data, j));
      for (int k : qualitative) out.print("\t%f", association(k, j));
    }

    out.print("\n\nMean value of each quantitative variable for each state of each qualitative variable\n");
    for (int j : quantitative) {
      out.print("\n%s", name(data, j));
      for (int k : qualitative) {
        const int n_states = data.var_kind[k];
        if (n_states < 2) continue;  // a single state has nothing to compare
        out.print("\t%s", name(data, k));
        for (int a = 1; a <= n_states; ++a)
          out.print("\t%s=%f", data.state_names[k][static_cast<std::size_t>(a)].c_str(), state_means[k](j, a));
        out.print("\n");
      }
    }
  }
}

void write_association_tests(OutputFile& out, Randomization randomization, int n_rep, const DataSet& data,
                             const RangedMatrix<ResampleSummary>& stats, bool detailed_report) {
  const std::vector<int> quantitative = quantitative_variables(data), qualitative = qualitative_variables(data);
  const char* name_of_test = randomization_name(randomization);
  auto two_sided = [&](int j, int k) { write_two_sided(out, stats, n_rep, j, k); };
  auto one_sided = [&](int j, int k) { write_one_sided(out, stats, n_rep, j, k); };

  out.print("\n\nTests of association between variables using %s randomization (%i replicates)", name_of_test,
            n_rep);
  if (quantitative.size() > 1) {
    out.print("\n\nMatrix with significant Pearson's correlation coefficients between quantitative variables\n"
              "Codes: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 replicates; * for P<=0.05 "
              "and >=99 replicates (bilateral tests); + for observed value > mean permuted value; - for observed "
              "value < mean permuted value \n");
    write_square(out, data, quantitative, two_sided);
  }
  if (qualitative.size() > 1) {
    out.print("\n\nMatrix with significant Chi-square coefficients between qualitative variables according to "
              "independence tests\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 "
              "replicates; * for P<=0.05 and >=99 replicates (unilateral tests)\n");
    write_square(out, data, qualitative, one_sided);
  }
  if (!qualitative.empty() && !quantitative.empty()) {
    out.print("\n\nMatrix with significant intra-class correlation coefficients of quantitative variables classified "
              "by qualitative variables\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 "
              "replicates; * for P<=0.05 and >=99 replicates (unilateral tests)\n");
    for (int k : qualitative) out.print("\t%s", name(data, k));
    for (int j : quantitative) {
      out.print("\n%s", name(data, j));
      for (int k : qualitative) one_sided(j, k);
    }
  }

  if (detailed_report) {
    // The detail headers carry the byte 0xB0 (a degree sign in the
    // spreadsheets' usual code page) before "var1" and "var2".
    out.print("\n\n\nDETAILS of %s randomization tests of association between variables (%i replicates)",
              name_of_test, n_rep);
    out.print("\n\nTests of correlation coefficients between quantitative variables\nName var1\tName "
              "var2\tN\xb0var1\tN\xb0var2\tobsR\t\t# rep\t# different Rrand\tmean Rrand\tSD Rrand\t95%%CI "
              "inf\t95%%CI sup\tP<\tP>\tP<>");
    for (int j : quantitative)
      for (int k : quantitative) write_detail_line(out, data, stats, j, k);
    out.print("\n\nTests of independance (Chi-square) between qualitative variables\nName var1\tName "
              "var2\tN\xb0var1\tN\xb0var2\tobsKhi2\t\t# rep\t# different RandKhi2\tmean RandKhi2\tSD "
              "RandKhi2\t95%%CI inf\t95%%CI sup\tP<\tP>\tP<>");
    for (int j : qualitative)
      for (int k : qualitative) write_detail_line(out, data, stats, j, k);
    out.print("\n\nTests of intra-class correlation coefficients of quantitative variables classified by "
              "qualitative variables\nName var1\tName var2\tN\xb0var1\tN\xb0var2\tobsR\t\t# rep\t# different "
              "Rrand\tmean Rrand\tSD Rrand\t95%%CI inf\t95%%CI sup\tP<\tP>\tP<>");
    for (int j : quantitative)
      for (int k : qualitative) write_detail_line(out, data, stats, j, k);
  }
}

}  // namespace kalveno
