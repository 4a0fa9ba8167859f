// Text from a results file made fit for an SVG document (XML in UTF-8).
// Variable names come from the user's data file in whatever encoding it had:
// valid UTF-8 is kept, any other byte is read as Windows-1252 (the usual
// encoding of a spreadsheet's text export), and characters that XML forbids
// become U+FFFD.
#pragma once
#include <string>
#include <string_view>

namespace kalveno::plot {

// raw as XML character data or attribute value, markup characters escaped.
std::string xml_text(std::string_view raw);

}  // namespace kalveno::plot
