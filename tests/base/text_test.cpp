// The C-style readings of answers and data cells.
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/text.h"

namespace kalveno {
namespace {

TEST(ScanInt, ReadsDecimalHexadecimalAndOctalLikeC) {
  EXPECT_EQ(scan_int("999").value, 999);
  EXPECT_EQ(scan_int("  -42 rest").value, -42);
  EXPECT_EQ(scan_int("0x10").value, 16);
  EXPECT_EQ(scan_int("0X1f").value, 31);
  EXPECT_EQ(scan_int("017").value, 15);
  // Octal stops at the first digit that is not octal.
  ScannedInt octal = scan_int("0999");
  EXPECT_TRUE(octal.found);
  EXPECT_EQ(octal.value, 0);
  EXPECT_EQ(octal.end, 1u);
  // "0x" without a hexadecimal digit is the number 0.
  EXPECT_EQ(scan_int("0xg").value, 0);
}

TEST(ScanInt, FindsNoNumberInWordsOrEmptyText) {
  EXPECT_FALSE(scan_int("").found);
  EXPECT_FALSE(scan_int("   ").found);
  EXPECT_FALSE(scan_int("x12").found);
  EXPECT_FALSE(scan_int("-").found);
}

TEST(ScanInt, FlagsNumbersBeyondThirtyTwoBitsInsteadOfWrapping) {
  // 4294967297 would wrap to 1 in a 32-bit int.
  ScannedInt big = scan_int("4294967297");
  EXPECT_TRUE(big.found);
  EXPECT_FALSE(big.in_range);
  EXPECT_GT(big.value, 100000);
  EXPECT_FALSE(scan_int("-99999999999999999999999").in_range);
  EXPECT_TRUE(scan_int("2147483647").in_range);
  EXPECT_TRUE(scan_int("-2147483648").in_range);
}

TEST(ScanDecimal, TakesNoPrefixes) {
  EXPECT_EQ(scan_decimal("0x10").value, 0);
  EXPECT_EQ(scan_decimal("010").value, 10);
}

TEST(ScanFloat, RoundsToSinglePrecision) {
  ScannedFloat tenth = scan_float("0.1");
  EXPECT_TRUE(tenth.found);
  EXPECT_EQ(static_cast<double>(tenth.value), static_cast<double>(0.1f));
  EXPECT_NE(static_cast<double>(tenth.value), 0.1);
  EXPECT_EQ(scan_float("-1.5e3").value, -1500.0f);
  EXPECT_EQ(scan_float(".5").value, 0.5f);
  EXPECT_EQ(scan_float("+7.").value, 7.0f);
}

TEST(ScanFloat, TakesTheLongestNumericPrefix) {
  ScannedFloat percent = scan_float("12%");
  EXPECT_EQ(percent.value, 12.0f);
  EXPECT_EQ(percent.end, 2u);
  EXPECT_EQ(scan_float("1,5").value, 1.0f);
  // An exponent mark without digits is not part of the number.
  ScannedFloat dangling = scan_float("12e");
  EXPECT_EQ(dangling.value, 12.0f);
  EXPECT_EQ(dangling.end, 2u);
  EXPECT_EQ(scan_float("12e+").end, 2u);
}

TEST(ScanFloat, KnowsOnlyDecimalNumbers) {
  EXPECT_FALSE(scan_float("inf").found);
  EXPECT_FALSE(scan_float("nan").found);
  EXPECT_FALSE(scan_float("abc").found);
  EXPECT_FALSE(scan_float(".").found);
  EXPECT_FALSE(scan_float("-").found);
  // 0x1A reads as 0 followed by a letter.
  ScannedFloat hex = scan_float("0x1A");
  EXPECT_EQ(hex.value, 0.0f);
  EXPECT_EQ(hex.end, 1u);
}

TEST(ScanFloat, FlagsNumbersBeyondSinglePrecision) {
  EXPECT_FALSE(scan_float("1e39").in_range);
  EXPECT_FALSE(scan_float("-1e39").in_range);
  EXPECT_TRUE(scan_float("3e38").in_range);
  EXPECT_TRUE(scan_float("1e-50").in_range);  // underflows to 0, which is a number
}

// The same numbers as scan_float, kept to double precision.
TEST(ScanDouble, ReadsTheNumbersOfScanFloatInDoublePrecision) {
  for (const char* text : {"0.1", "5123456.25", "-1.5e3", "12%", "1,5", "12e+", " +7."}) {
    const ScannedDouble read = scan_double(text);
    EXPECT_TRUE(read.found) << text;
    EXPECT_EQ(read.value, std::strtod(text, nullptr)) << text;
    EXPECT_EQ(read.end, scan_float(text).end) << text;
  }
  EXPECT_FALSE(scan_double("inf").found);
  EXPECT_EQ(scan_double("0x1A").end, 1u);  // 0 followed by a letter, as in scan_float
  EXPECT_TRUE(scan_double("1e39").in_range);
  EXPECT_FALSE(scan_double("1e309").in_range);
}

TEST(Words, FirstWordSkipsBlanksAndStopsAtTheNextOne) {
  EXPECT_EQ(first_word("  out.txt more"), "out.txt");
  EXPECT_EQ(first_word("\t\v\fword\r"), "word");
  EXPECT_EQ(first_word("   "), "");
  EXPECT_TRUE(is_blank(" \t\r"));
  EXPECT_FALSE(is_blank(" a "));
}

TEST(Format, HandlesTextsLongerThanItsFirstBuffer) {
  std::string long_name(1000, 'n');
  EXPECT_EQ(format("[%s]", long_name.c_str()), "[" + long_name + "]");
  EXPECT_EQ(format("%f %%", 0.5), "0.500000 %");
}

}  // namespace
}  // namespace kalveno
