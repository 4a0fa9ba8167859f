#include "base/text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace kalveno {

std::string counted(long long n, const char* one, const char* many) {
  return format("%lli %s", n, n == 1 ? one : many);
}

std::string exact_number(double value) {
  for (int digits = 6; digits < 17; ++digits) {
    std::string text = format("%.*g", digits, value);
    if (std::strtod(text.c_str(), nullptr) == value) return text;
  }
  return format("%.17g", value);
}

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[256];
  int length = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (length < 0) return {};
  if (static_cast<std::size_t>(length) < sizeof small) return std::string(small, static_cast<std::size_t>(length));
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.pop_back();
  return text;
}

std::string format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(format, args);
  va_end(args);
  return text;
}

bool is_blank(std::string_view text) {
  for (char c : text)
    if (!is_blank_char(c)) return false;
  return true;
}

std::string_view first_word(std::string_view text) {
  std::size_t start = 0;
  while (start < text.size() && is_blank_char(text[start])) ++start;
  std::size_t end = start;
  while (end < text.size() && !is_blank_char(text[end])) ++end;
  return text.substr(start, end - start);
}

std::string_view trim_blanks(std::string_view text) {
  while (!text.empty() && is_blank_char(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank_char(text.back())) text.remove_suffix(1);
  return text;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string_view> split_fields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  while (true) {
    std::size_t end = line.find(separator);
    fields.push_back(line.substr(0, end));
    if (end == std::string_view::npos) return fields;
    line.remove_prefix(end + 1);
  }
}

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

std::size_t skip_blanks(std::string_view text, std::size_t at) {
  while (at < text.size() && is_blank_char(text[at])) ++at;
  return at;
}

ScannedInt scan_integer(std::string_view text, bool c_prefixes) {
  ScannedInt result;
  std::size_t at = skip_blanks(text, 0);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  int base = 10;
  if (c_prefixes && at < text.size() && text[at] == '0') {
    if (at + 2 < text.size() && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
        digit_value(text[at + 2]) < 16) {
      base = 16;
      at += 2;
    } else {
      base = 8;
    }
  }
  // Magnitudes are accumulated up to just past the 32-bit range and then held
  // there, so that an absurdly long number reads as out of range, not wrapped.
  constexpr long long kCeiling = 1LL << 40;
  long long magnitude = 0;
  std::size_t digits_start = at;
  while (at < text.size() && digit_value(text[at]) < base) {
    magnitude = magnitude * base + digit_value(text[at]);
    if (magnitude > kCeiling) magnitude = kCeiling;
    ++at;
  }
  if (at == digits_start) return result;
  result.found = true;
  result.value = negative ? -magnitude : magnitude;
  result.in_range = result.value >= std::numeric_limits<int>::min() &&
                    result.value <= std::numeric_limits<int>::max();
  result.end = at;
  return result;
}

}  // namespace

ScannedInt scan_int(std::string_view text) { return scan_integer(text, true); }
ScannedInt scan_decimal(std::string_view text) { return scan_integer(text, false); }

namespace {

// Where the decimal number at the start of text ends, leading blanks
// skipped (from start on), or npos when there is none.
struct NumberSpan {
  std::size_t start = 0, end = std::string_view::npos;
};
NumberSpan decimal_number(std::string_view text) {
  NumberSpan span;
  span.start = skip_blanks(text, 0);
  std::size_t at = span.start;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  std::size_t mantissa_digits = 0;
  while (at < text.size() && is_digit(text[at])) ++at, ++mantissa_digits;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && is_digit(text[at])) ++at, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return span;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (exponent < text.size() && is_digit(text[exponent])) {
      while (exponent < text.size() && is_digit(text[exponent])) ++exponent;
      at = exponent;
    }
  }
  span.end = at;
  return span;
}

}  // namespace

ScannedFloat scan_float(std::string_view text) {
  ScannedFloat result;
  const NumberSpan span = decimal_number(text);
  if (span.end == std::string_view::npos) return result;
  const std::string number(text.substr(span.start, span.end - span.start));
  result.value = std::strtof(number.c_str(), nullptr);
  result.found = true;
  result.in_range = std::isfinite(result.value);
  result.end = span.end;
  return result;
}

ScannedDouble scan_double(std::string_view text) {
  ScannedDouble result;
  const NumberSpan span = decimal_number(text);
  if (span.end == std::string_view::npos) return result;
  const std::string number(text.substr(span.start, span.end - span.start));
  result.value = std::strtod(number.c_str(), nullptr);
  result.found = true;
  result.in_range = std::isfinite(result.value);
  result.end = span.end;
  return result;
}

}  // namespace kalveno
