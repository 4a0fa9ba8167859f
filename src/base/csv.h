// Comma-separated values as spreadsheets, R and pandas read them: a field is
// quoted when it holds a comma, a quote or a line break, its quotes doubled;
// each record ends with CR LF. Numbers are written in the shortest decimal
// form that reads back to the same value, and a value that is no number
// (missing, infinite, not a number) as an empty field.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kalveno {

std::string csv_field(std::string_view text);
// The fields, quoted where needed, joined by commas, with the record's CR LF.
std::string csv_record(const std::vector<std::string>& fields);

// Shortest round-trip forms: a double to the double, a float to the float
// (so 0.1f is "0.1", not the 0.100000001490116 that it holds). Empty when
// the value is not finite.
std::string csv_number(double value);
std::string csv_number(float value);

}  // namespace kalveno
