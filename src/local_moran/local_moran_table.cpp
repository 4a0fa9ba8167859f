#include "local_moran/local_moran_table.h"

#include <utility>

namespace kalveno {

void add_local_moran_rows(std::vector<StatisticRow>& rows, const DataSet& data, const LocalMoranSetup& setup,
                          const LocalMoranResults& results) {
  for (int v : setup.variables) {
    for (int i = 1; i <= data.n_samples; ++i) {
      const Quadrant quadrant = results.quadrant(v, i);
      if (quadrant == Quadrant::kMissing) continue;
      StatisticRow row;
      row.analysis = "local_moran";
      row.statistic = "local_moran_i";
      row.variable = data.var_names[v];
      row.sample = data.sample_names[i];
      row.significance = quadrant_name(quadrant);
      if (results.tested(v, i)) {
        row.test = "conditional";
        row.tested = true;
        row.summary = results.test(v, i);
        row.p_adjusted = results.p_adjusted(v, i);
      } else {
        row.test = "observed";
        row.observed = results.moran(v, i);
      }
      rows.push_back(std::move(row));
    }
  }
}

}  // namespace kalveno
