// Data sets made in memory for the spatial tests and benchmarks: an empty one
// of a given shape, and random ones with missing values, qualitative
// variables and samples sharing a position.
#pragma once
#include <random>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "base/text.h"
#include "data/data_file.h"

namespace kalveno::testing {

// N samples at the origin, V quantitative variables all 0, the given upper
// bounds of the distance classes.
inline DataSet empty_data_set(int n_samples, int n_variables, const std::vector<double>& class_max) {
  DataSet data;
  data.n_samples = n_samples;
  data.n_variables = n_variables;
  data.missing_code = "NA";
  data.classes.n_classes = static_cast<int>(class_max.size());
  data.classes.class_max = Allocator().double_vector(1, data.classes.n_classes);
  for (int c = 1; c <= data.classes.n_classes; ++c) data.classes.class_max[c] = class_max[c - 1];
  data.var_names = Allocator().text_vector(0, n_variables);
  data.var_kind = Allocator().int_vector(0, n_variables);
  data.state_names = Allocator().vector_of<std::vector<std::string>>(0, n_variables, "state names");
  for (int v = 1; v <= n_variables; ++v) {
    data.var_names[v] = format("v%d", v);
    data.state_names[v].assign(1, std::string());
  }
  allocate_sample_arrays(Allocator(), data);
  return data;
}

// Makes variable v qualitative with the given number of states, named s1, s2, ...
inline void make_qualitative(DataSet& data, int v, int n_states) {
  data.var_kind[v] = n_states;
  data.state_names[v].assign(1, std::string());
  for (int s = 1; s <= n_states; ++s) data.state_names[v].push_back(format("s%d", s));
}

struct RandomDataShape {
  int n_samples = 40;
  int n_quantitative = 3;
  int n_qualitative = 2;
  int n_states = 3;          // of each qualitative variable
  double missing = 0.1;      // chance that a datum is missing
  double coincident = 0.1;   // chance that a sample takes the position of an earlier one
  int n_classes = 4;
  double extent = 100;       // coordinates lie in [0, extent)
};

// Quantitative values are rounded to single precision, as the loader stores
// them, and so are the coordinates; class bounds rise evenly up to the extent.
inline DataSet random_data_set(const RandomDataShape& shape, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<double> bounds;
  for (int c = 1; c <= shape.n_classes; ++c)
    bounds.push_back(static_cast<float>(shape.extent * c / shape.n_classes));
  const int n_var = shape.n_quantitative + shape.n_qualitative;
  DataSet data = empty_data_set(shape.n_samples, n_var, bounds);
  for (int s = 1; s <= shape.n_samples; ++s) {
    if (s > 1 && unit(gen) < shape.coincident) {
      int earlier = 1 + static_cast<int>(unit(gen) * (s - 1));
      data.x[s] = data.x[earlier];
      data.y[s] = data.y[earlier];
    } else {
      data.x[s] = static_cast<float>(unit(gen) * shape.extent);
      data.y[s] = static_cast<float>(unit(gen) * shape.extent);
    }
  }
  for (int v = 1; v <= n_var; ++v) {
    const bool qualitative = v > shape.n_quantitative;
    if (qualitative) make_qualitative(data, v, shape.n_states);
    for (int s = 1; s <= shape.n_samples; ++s) {
      if (unit(gen) < shape.missing) {
        data.values(v, s) = MISSING_VALUE;
      } else if (qualitative) {
        data.values(v, s) = 1 + static_cast<int>(unit(gen) * shape.n_states);
      } else {
        data.values(v, s) = static_cast<float>(10 * unit(gen) + 0.5 * data.x[s]);
      }
    }
  }
  return data;
}

}  // namespace kalveno::testing
