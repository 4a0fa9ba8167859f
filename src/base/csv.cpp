#include "base/csv.h"

#include <charconv>
#include <cmath>

namespace kalveno {

namespace {

template <class Number>
std::string shortest(Number value) {
  if (!std::isfinite(value)) return {};
  char text[64];
  const std::to_chars_result written = std::to_chars(text, text + sizeof text, value);
  return std::string(text, written.ptr);
}

}  // namespace

std::string csv_field(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string csv_record(const std::vector<std::string>& fields) {
  std::string record;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (f > 0) record += ',';
    record += csv_field(fields[f]);
  }
  return record + "\r\n";
}

std::string csv_number(double value) { return shortest(value); }
std::string csv_number(float value) { return shortest(value); }

}  // namespace kalveno
