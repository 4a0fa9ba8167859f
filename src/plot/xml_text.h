// Text from a results file made fit for an SVG document (XML in UTF-8), and
// the opening that every figure's document shares.
// Variable names come from the user's data file in whatever encoding it had:
// valid UTF-8 is kept, any other byte is read as Windows-1252 (the usual
// encoding of a spreadsheet's text export), and characters that XML forbids
// become U+FFFD.
#pragma once
#include <string>
#include <string_view>

namespace kalveno::plot {

// The XML declaration and the opening svg element of a figure of width x
// height pixels, in the figures' font, on a white page.
std::string svg_document_start(double width, double height);

// raw as XML character data or attribute value, markup characters escaped.
std::string xml_text(std::string_view raw);

}  // namespace kalveno::plot
