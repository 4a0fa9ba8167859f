// Test support: a DataSet read from data-file text, as the program reads it.
#pragma once
#include <string>

#include "data/data_file.h"

namespace kalveno::testing {

// Loads content as a data file; fails the calling test if it is refused.
DataSet load_data_set(const std::string& content);

}  // namespace kalveno::testing
