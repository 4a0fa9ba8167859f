// Fields quoted only where a reader needs it, and numbers that read back to
// the value they were written from.
#include "base/csv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

namespace kalveno {
namespace {

TEST(CsvField, QuotesOnlyCommasQuotesAndLineBreaks) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain", "plain"},         {"", ""},
      {"a b", "a b"},             {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},       {"\xc3\xa9t\xc3\xa9", "\xc3\xa9t\xc3\xa9"},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(csv_field(text), field) << text;
  EXPECT_EQ(csv_record({"a", "b,c", ""}), "a,\"b,c\",\r\n");
}

TEST(CsvNumber, IsTheShortestFormThatReadsBackExactly) {
  EXPECT_EQ(csv_number(0.1), "0.1");
  EXPECT_EQ(csv_number(0.1f), "0.1");
  EXPECT_EQ(csv_number(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(csv_number(-3.99e-05f), "-3.99e-05");
  EXPECT_EQ(csv_number(250.0), "250");
  for (double not_a_number : {std::nan(""), std::numeric_limits<double>::infinity()})
    EXPECT_EQ(csv_number(not_a_number), "");
  EXPECT_EQ(csv_number(-std::numeric_limits<float>::infinity()), "");

  std::mt19937_64 gen(5);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 1000; ++i) {
    const double d = any(gen) * std::pow(10.0, static_cast<int>(gen() % 40) - 20);
    const float f = static_cast<float>(d);
    EXPECT_EQ(std::strtod(csv_number(d).c_str(), nullptr), d);
    EXPECT_EQ(std::strtof(csv_number(f).c_str(), nullptr), f);
  }
}

}  // namespace
}  // namespace kalveno
