// P values adjusted for a family of tests: the classes of one correlogram,
// the samples of one map. Each takes the family's P values in their own
// order and gives the adjusted ones in the same order. A P value that is
// not a number stays out of the family (k counts the others) and gives a
// not-a-number adjusted value. Products are formed in double precision from
// the single-precision P values and rounded back once.
#pragma once
#include <vector>

namespace kalveno {

// Holm's step-down adjustment: with the k P values sorted ascending,
// p(i) becomes the largest of min(1, (k - j + 1) p(j)) over j <= i.
std::vector<float> holm_adjusted(const std::vector<float>& p);

// Benjamini and Hochberg's step-up adjustment, which bounds the false
// discovery rate: with the k P values sorted ascending, p(i) becomes the
// smallest of min(1, (k / j) p(j)) over j >= i.
std::vector<float> benjamini_hochberg_adjusted(const std::vector<float>& p);

// The family as a whole (Bonferroni): min(1, k times its smallest P value);
// not a number when no P value of the family is a number.
float bonferroni_family(const std::vector<float>& p);

// The progressive Bonferroni of a correlogram: entry c (1 on) judged at
// alpha / c, that is min(1, c p_c).
std::vector<float> progressive_adjusted(const std::vector<float>& p);

}  // namespace kalveno
