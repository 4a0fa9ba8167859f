// tools/check-function-length, run by ctest on the real tree, must also
// catch a long function in each place one is written, and pass over what
// only looks like one, on a tree of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// n statement lines.
std::string statements(int n) {
  std::string lines;
  for (int l = 0; l < n; ++l) lines += "  x += 1;\n";
  return lines;
}

// The script run on a scratch tree holding file under src/.
ProgramRun check_file(const TempFolder& folder, const std::string& file, const std::string& content) {
  std::filesystem::create_directories(folder.file("tools"));
  std::filesystem::copy_file(std::string(KALVENO_SOURCE_DIR) + "/tools/check-function-length",
                             folder.file("tools/check-function-length"));
  std::filesystem::create_directories(std::filesystem::path(folder.file(file)).parent_path());
  folder.write(file, content);
  return run_program(folder.file("tools/check-function-length").c_str(), folder.path(), {"src"}, "");
}

// Each function is 61 lines from its opening brace to its closing one.
TEST(CheckFunctionLength, RefusesAFunctionOverSixtyLinesWhereverItIsWritten) {
  const struct {
    const char* file;
    std::string content;
    const char* named;
  } cases[] = {
      {"src/a/free.cpp", "int f(int x) {\n" + statements(59) + "}\n", "src/a/free.cpp:1: f has 61 lines"},
      {"src/a/member.h", "struct S {\n public:\n  int g(int x) const {\n" + statements(59) + "  }\n};\n",
       "src/a/member.h:3: g has 61 lines"},
      {"src/a/constructor.cpp", "S::S(int a) : a_(a), b_{a} {\n" + statements(59) + "}\n",
       "src/a/constructor.cpp:1: S::S has 61 lines"},
      {"src/a/kernel.h", "// A vector kernel without its marker.\ninline void k(int x) {\n" + statements(59) + "}\n",
       "src/a/kernel.h:2: k has 61 lines"},
  };
  for (const auto& c : cases) {
    TempFolder tree;
    const ProgramRun run = check_file(tree, c.file, c.content);
    EXPECT_EQ(run.status, 1) << c.file;
    EXPECT_NE(run.errors.find(c.named), std::string::npos) << run.errors;
  }
}

TEST(CheckFunctionLength, PassesSixtyLinesBracesInTextTablesAndMarkedKernels) {
  const std::string content =
      "int f(int x) {\n" + statements(58) + "}\n" +
      "const char* k = \"{{{\";  // {\nint g() {\n  char c = '}';\n" + statements(40) + "}\n" +
      "const int table[] = {\n" + statements(70) + "};\n" +
      "// function-length: vector kernel, its sums in registers.\ntemplate <class T>\ninline void h(T x) {\n" +
      statements(70) + "}\n";
  TempFolder tree;
  const ProgramRun run = check_file(tree, "src/a/fine.cpp", content);
  EXPECT_EQ(run.status, 0) << run.errors;
}

}  // namespace
}  // namespace kalveno::testing
