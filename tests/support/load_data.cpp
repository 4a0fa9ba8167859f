#include "support/load_data.h"

#include <gtest/gtest.h>

namespace kalveno::testing {

DataSet load_data_set(const std::string& content) {
  DataSet data;
  try {
    const DataFile file(content);
    file.read_header(Allocator(), data);
    allocate_sample_arrays(Allocator(), data);
    file.read_samples(Allocator(), data);
  } catch (const DataFileRefused& refused) {
    ADD_FAILURE() << "data file refused: " << refused.warning;
  }
  return data;
}

}  // namespace kalveno::testing
