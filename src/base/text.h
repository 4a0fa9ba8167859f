// Text conversions shared by the dialogue, the data file and the reports:
// printf-style formatting, cutting a text into lines and fields, and the
// C-style reading of one number or word
// from the start of a text ("%i", "%d", "%f", "%s"). Numbers are decimal
// only ("%i" also takes 0x hexadecimal and leading-0 octal): "inf", "nan"
// and hexadecimal fractions are not numbers here.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalveno {

std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* format, va_list args);
// n and the noun that agrees with it: "1 distance class", "3 distance classes".
std::string counted(long long n, const char* one, const char* many);
// value with as many digits as tell it apart from its neighbours (%.17g at
// most): -90.00001 stays -90.00001 where %g would print -90.
std::string exact_number(double value);

// Blanks as C's isspace knows them, in the C locale.
inline bool is_blank_char(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
// True when text holds no character but blanks.
bool is_blank(std::string_view text);
// The first word of text ("%s"): leading blanks skipped, up to the next blank.
std::string_view first_word(std::string_view text);
// text without its leading and trailing blanks.
std::string_view trim_blanks(std::string_view text);

// The lines of text; a line ends with a line feed, and a carriage return
// before it is not part of the line. Text after the last line feed is a last
// line; an empty text has none.
std::vector<std::string_view> split_lines(std::string_view text);
// The fields of a line between separators: n separators give n + 1 fields.
std::vector<std::string_view> split_fields(std::string_view line, char separator);

struct ScannedInt {
  bool found = false;      // a number could be read
  bool in_range = true;    // it fits a 32-bit int (otherwise value is clamped)
  long long value = 0;
  std::size_t end = 0;     // offset of the first character not consumed
};
// "%i": leading blanks, an optional sign, then 0x/0X hexadecimal, leading-0
// octal or decimal digits.
ScannedInt scan_int(std::string_view text);
// "%d": leading blanks, an optional sign, decimal digits.
ScannedInt scan_decimal(std::string_view text);

struct ScannedFloat {
  bool found = false;      // a decimal number could be read
  bool in_range = true;    // false when it exceeds the single-precision range
  float value = 0;         // rounded to the nearest 32-bit float
  std::size_t end = 0;     // offset of the first character not consumed
};
// "%f" into a 32-bit float: leading blanks, then the longest prefix of the
// form [sign] digits [. digits] [e [sign] digits] (or [sign] . digits ...).
ScannedFloat scan_float(std::string_view text);

struct ScannedDouble {
  bool found = false;      // a decimal number could be read
  bool in_range = true;    // false when it exceeds the double-precision range
  double value = 0;        // rounded to the nearest 64-bit double
  std::size_t end = 0;     // offset of the first character not consumed
};
// "%lf": the same numbers as scan_float, into a 64-bit double.
ScannedDouble scan_double(std::string_view text);

}  // namespace kalveno
