// The digests that the processes of one run compare: two command lines
// have the same options digest exactly when they may share a run, and any
// change to the data as read changes the data digest.
#include "app/run_digests.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "data/data_set.h"
#include "support/load_data.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

std::uint64_t options_of(const std::vector<std::string>& args) {
  CommandLine line;
  const std::optional<std::string> problem = parse_command_line(args, line);
  EXPECT_FALSE(problem) << *problem;
  return options_digest(line);
}

TEST(RunDigests, OptionsThatCanChangeAResultCountAndNoOthers) {
  const std::vector<std::string> base = {"--spatial", "-r", "50", "--table=t.csv", "in.txt", "out.txt"};
  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool same;
  };
  const std::vector<Case> cases = {
      {"quiet and threads", {"--spatial", "-q", "-r", "50", "-j3", "--table=t.csv", "in.txt", "out.txt"}, true},
      {"other file names", {"--spatial", "-r", "50", "--table=u.csv", "/data/in.txt", "res.txt"}, true},
      {"another order, long names", {"--table=t.csv", "--randomizations=50", "--spatial", "in.txt", "out.txt"}, true},
      {"another count", {"--spatial", "-r", "3", "--table=t.csv", "in.txt", "out.txt"}, false},
      {"another analysis", {"--association", "-r", "50", "--table=t.csv", "in.txt", "out.txt"}, false},
      {"no table", {"--spatial", "-r", "50", "in.txt", "out.txt"}, false},
      {"classes", {"--spatial", "-r", "50", "--classes=equal-count:10", "--table=t.csv", "in.txt", "out.txt"}, false},
      {"pairs", {"--spatial", "-r", "50", "--pairs-by=habitat", "--same-state", "--table=t.csv", "in.txt", "out.txt"},
       false},
      {"a seed", {"--spatial", "-r", "50", "--seed=7", "--table=t.csv", "in.txt", "out.txt"}, false},
  };
  const std::uint64_t expected = options_of(base);
  for (const Case& c : cases) EXPECT_EQ(options_of(c.args) == expected, c.same) << c.name;
  // Two states of a pair selection: their order is theirs.
  EXPECT_NE(options_of({"--spatial", "--pairs-by=h", "--state=wet", "--state=dry", "in.txt", "out.txt"}),
            options_of({"--spatial", "--pairs-by=h", "--state=dry", "--state=wet", "in.txt", "out.txt"}));
}

// The example data, then the same with one change each: every one changes
// the digest, a sign flipped in two cells at once too.
TEST(RunDigests, AnyChangeToTheDataAsReadChangesTheDataDigest) {
  const DataSet example = testing::load_data_set(testing::source_file("examples/meuse.txt"));
  const std::uint64_t expected = data_digest(example);
  EXPECT_EQ(data_digest(testing::load_data_set(testing::source_file("examples/meuse.txt"))), expected);
  const std::vector<std::pair<const char*, std::function<void(DataSet&)>>> changes = {
      {"a value", [](DataSet& d) { d.values(1, 1) = 11.8; }},
      {"two signs",
       [](DataSet& d) {
         d.values(2, 3) = -d.values(2, 3);
         d.values(2, 9) = -d.values(2, 9);
       }},
      {"a missing value", [](DataSet& d) { d.values(3, 7) = MISSING_VALUE; }},
      {"a coordinate", [](DataSet& d) { d.x[155] += 1; }},
      {"a sample name", [](DataSet& d) { d.sample_names[2] = "2b"; }},
      {"a variable name", [](DataSet& d) { d.var_names[4] = "Zinc"; }},
      {"a state name", [](DataSet& d) { d.state_names[8][1] = "one"; }},
      {"a class bound", [](DataSet& d) { d.classes.class_max[3] = 771; }},
      {"the title", [](DataSet& d) { d.title_line += " "; }},
      {"the missing-data word", [](DataSet& d) { d.missing_code = "-"; }},
      {"the distance", [](DataSet& d) { d.distance_kind = DistanceKind::kGreatCircle; }},
  };
  for (const auto& [name, change] : changes) {
    DataSet changed = testing::load_data_set(testing::source_file("examples/meuse.txt"));
    change(changed);
    EXPECT_NE(data_digest(changed), expected) << name;
  }
}

}  // namespace
}  // namespace kalveno
