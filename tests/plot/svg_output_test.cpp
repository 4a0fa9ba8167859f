// The SVG documents and their file names: well-formed whatever the variable
// is called, one element per point and band, and names that stay inside the
// chosen folder and apart from each other.
#include <gtest/gtest.h>

#include "plot/correlogram.h"
#include "plot/plot_files.h"
#include "plot/plot_program.h"
#include "plot/svg_correlogram.h"
#include "plot/xml_text.h"
#include "support/run_program.h"

namespace kalveno::plot {
namespace {

using kalveno::testing::count_of;
using kalveno::testing::TempFolder;

TEST(XmlText, EscapesMarkupCharacters) {
  EXPECT_EQ(xml_text("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
}

TEST(XmlText, KeepsUtf8AndReadsOtherBytesAsWindows1252) {
  EXPECT_EQ(xml_text("H\xc3\xb6he"), "H\xc3\xb6he");          // UTF-8 kept
  EXPECT_EQ(xml_text("H\xf6he"), "H\xc3\xb6he");              // Windows-1252 o-umlaut
  EXPECT_EQ(xml_text("\x80"), "\xe2\x82\xac");                // the euro sign
  EXPECT_EQ(xml_text("\xed\xa0\x80"), "\xc3\xad\xc2\xa0\xe2\x82\xac");  // a UTF-8 surrogate is not UTF-8
}

TEST(XmlText, ReplacesCharactersXmlForbids) {
  EXPECT_EQ(xml_text(std::string("a\x01z\x1f", 4)), "a\xef\xbf\xbdz\xef\xbf\xbd");
  EXPECT_EQ(xml_text("\x81"), "\xef\xbf\xbd");  // undefined in Windows-1252
}

TEST(FigureFileName, KeepsOnlySafeCharactersAndNumbersTheVariables) {
  EXPECT_EQ(figure_file_name("correlogram", 3, 11, "cadmium"), "correlogram_03_cadmium.svg");
  EXPECT_EQ(figure_file_name("correlogram", 1, 6, "../../etc/passwd"), "correlogram_1_.._.._etc_passwd.svg");
  EXPECT_EQ(figure_file_name("correlogram", 2, 2, "H\xf6he*?"), "correlogram_2_H_he__.svg");
  EXPECT_EQ(figure_file_name("correlogram", 12, 100, std::string(200, 'x')).size(), std::string("correlogram_012_.svg").size() + 60);
}

Correlogram sample_figure() {
  Correlogram figure;
  figure.variable = "Cu&Zn<ppm>";
  figure.randomization = "COMPLETE";
  figure.n_rep = 999;
  figure.points = {{1, 100, 0.4, 2}, {2, 200, 0.1, 0}, {4, 400, -0.2, 1}};
  figure.bands = {{{1, 100, -0.1, 0.1}, {2, 200, -0.08, 0.08}}, {{4, 400, -0.05, 0.05}}};
  return figure;
}

TEST(CorrelogramSvg, DrawsEveryPointBandAndCodeOnce) {
  std::string svg = correlogram_svg(sample_figure(), "m");
  EXPECT_EQ(count_of(svg, "<circle class=\"point"), 3);
  EXPECT_EQ(count_of(svg, "<circle class=\"point significant\""), 2);
  EXPECT_EQ(count_of(svg, "<path class=\"band\""), 2);
  EXPECT_EQ(count_of(svg, "<text class=\"code\""), 2);
  EXPECT_EQ(count_of(svg, "<line class=\"zero\""), 1);
  EXPECT_EQ(count_of(svg, "<polyline class=\"trace\""), 1);  // class 3 is missing: classes 1-2 only are joined
  EXPECT_NE(svg.find("Mean distance of class (m)"), std::string::npos);
  EXPECT_NE(svg.find("Cu&amp;Zn&lt;ppm&gt;: Moran's I correlogram"), std::string::npos);
  EXPECT_NE(svg.find("COMPLETE randomization (999 replicates)"), std::string::npos);
}

TEST(CorrelogramSvg, KeepsLongTextsWhole) {
  Correlogram figure = sample_figure();
  figure.randomization = std::string(600, 'R');
  EXPECT_NE(correlogram_svg(figure, "m").find(figure.randomization + " randomization (999 replicates)"),
            std::string::npos);
}

// Flat or extreme values must still give an axis and coordinates that are
// numbers, never an endless tick loop.
TEST(CorrelogramSvg, DegenerateRangesStillGiveNumbersEverywhere) {
  for (double value : {0.0, 1e-300, 5e-324, 1e300, -1e300, 1.7e308}) {
    Correlogram figure;
    figure.variable = "v";
    figure.points = {{1, value < 0 ? -value : value, value, -1}, {2, 0, -value, -1}};
    std::string svg = correlogram_svg(figure, "");
    EXPECT_EQ(svg.find("nan"), std::string::npos) << value;
    EXPECT_EQ(svg.find("inf"), std::string::npos) << value;
    EXPECT_EQ(count_of(svg, "<circle class=\"point untested\""), 2) << value;
  }
}

TEST(CorrelogramSvg, IsWellFormedXmlEvenForHostileNames) {
  if (!kalveno::testing::have_xmllint()) GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
  TempFolder folder;
  Correlogram figure = sample_figure();
  for (std::string name : std::vector<std::string>{"Cu&Zn<ppm>", "]]>--\"'", "H\xf6he", "bell\x07", "\xff\xfe"}) {
    figure.variable = name;
    figure.data_file = name;
    ASSERT_TRUE(write_file_whole(folder.file("plot.svg"), correlogram_svg(figure, name)));
    EXPECT_EQ(kalveno::testing::xml_problems(folder.file("plot.svg")), "") << name;
  }
}

TEST(WriteFileWhole, ReplacesTheFileAndLeavesNoPartBehind) {
  TempFolder folder;
  folder.write("a.svg", "old");
  ASSERT_TRUE(write_file_whole(folder.file("a.svg"), "new"));
  EXPECT_EQ(folder.read("a.svg"), "new");
  EXPECT_FALSE(folder.exists("a.svg.part"));
  EXPECT_FALSE(write_file_whole(folder.file("missing/a.svg"), "x"));
}

}  // namespace
}  // namespace kalveno::plot
