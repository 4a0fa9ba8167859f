// Numbers as the program prints them, told from text and from numbers cut
// short.
#include <gtest/gtest.h>

#include "plot/printed_cells.h"

namespace kalveno::plot {
namespace {

TEST(PrintedCells, NumbersAreTakenOnlyAsTheProgramPrintsThem) {
  const struct {
    std::string cell;
    Printed how;
    bool not_a_number_allowed, taken;
  } cases[] = {
      {"0.412345", Printed::kFixed, false, true},     {"-1234.000000", Printed::kFixed, false, true},
      {"0.41", Printed::kFixed, false, false},        {"0.4123456", Printed::kFixed, false, false},
      {"-nan", Printed::kFixed, true, true},          {"nan", Printed::kFixed, false, false},
      {"inf", Printed::kFixed, true, false},          {"NaN", Printed::kFixed, true, false},
      {"-4.101e-06", Printed::kShortest, false, true}, {"0.0003811", Printed::kShortest, false, true},
      {"1e+10", Printed::kShortest, false, true},     {"1e", Printed::kShortest, false, false},
      {"1.", Printed::kShortest, false, false},       {"-inf", Printed::kShortest, true, true},
      {"1109", Printed::kWhole, false, true},         {"11.0", Printed::kWhole, false, false},
      {"", Printed::kWhole, false, false},            {"abc", Printed::kShortest, true, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(is_printed_number(c.cell, c.how, c.not_a_number_allowed), c.taken) << "\"" << c.cell << "\"";
}

TEST(PrintedCells, ARowSaysWhatIsWrongWithIt) {
  const RowLayout coded{2, Printed::kFixed, true, true, true};
  EXPECT_EQ(row_problem({"v", "", "0.100000 *", "-nan", "", "-0.01 **", "0.2"}, 2, coded), "");
  EXPECT_EQ(row_problem({"v", "", "0.100000 *", "-nan", ""}, 2, coded), "it has 5 cells, not 7");
  EXPECT_EQ(row_problem({"v", "", "0.100000 x", "-nan", "", "-0.01", "0.2"}, 2, coded),
            "cell 3, \"0.100000 x\", is no number as the program writes it");
  EXPECT_EQ(row_problem({"v", "", "0.100000", "-nan", "1", "-0.01", "0.2"}, 2, coded), "cell 5 is not empty");
}

}  // namespace
}  // namespace kalveno::plot
