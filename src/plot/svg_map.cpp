#include "plot/svg_map.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "base/results_headings.h"
#include "base/text.h"
#include "plot/axes.h"
#include "plot/xml_text.h"

namespace kalveno::plot {

namespace {

// Page, map area and legend column, in SVG user units (pixels).
constexpr double kPageWidth = 840, kPageHeight = 650;
constexpr double kMapLeft = 80, kMapRight = 600, kMapTop = 100, kMapBottom = 580;
constexpr double kLegendX = 620;

constexpr char kFrameInk[] = "#222222";
constexpr char kMapGridColour[] = "#e8e8e8";
constexpr char kPlainColour[] = "#777777";
constexpr char kMissingColour[] = "#bbbbbb";

struct MarkStyle {
  const char* name;    // the class attribute; a quadrant's word in the file and the legend
  const char* fill;
  const char* stroke;  // darker, so that a hollow mark shows on white
  const char* legend;  // for a quadrant, what its word means
};

// Indexed by MapMark.
const MarkStyle kStyles[] = {
    {headings::kHighHigh, "#d7191c", "#a50f15", "high among high"},
    {headings::kLowLow, "#2c7bb6", "#08519c", "low among low"},
    {headings::kHighLow, "#fdae61", "#d9730d", "high among low"},
    {headings::kLowHigh, "#abd9e9", "#4a9cc9", "low among high"},
    {"no-neighbours", kPlainColour, kPlainColour, headings::kNoNeighbours},
    {"missing", kMissingColour, kMissingColour, "lacks the variable"},
};

const MarkStyle& style_of(MapMark mark) { return kStyles[static_cast<int>(mark)]; }

// A word the program does not write (the file was edited) shows as no value.
MapMark mark_of_name(const std::string& quadrant) {
  for (int m = 0; m < 4; ++m)
    if (quadrant == kStyles[m].name) return static_cast<MapMark>(m);
  return MapMark::kMissing;
}

// The quadrant of the signs of I_i and the lag, as the program forms it: a
// value at the mean and a lag of 0 count as high.
MapMark mark_of_signs(double moran, double lag) {
  const bool high_neighbours = !(lag < 0);
  const bool high = lag < 0 ? !(moran > 0) : !(moran < 0);
  if (high) return high_neighbours ? MapMark::kHighHigh : MapMark::kHighLow;
  return high_neighbours ? MapMark::kLowHigh : MapMark::kLowLow;
}

class MapPage {
 public:
  MapPage(const LocalMap& map, const std::string& units) : map_(map), units_(units) {}

  std::string draw() {
    fit();
    text_ += svg_document_start(kPageWidth, kPageHeight);
    draw_headings();
    draw_frame();
    draw_points();
    draw_legend();
    draw_scale_bar();
    text_ += "</svg>\n";
    return text_;
  }

 private:
  double x_of(double x) const { return kMapLeft + (x - x_lo_) * scale_ * x_stretch_; }
  double y_of(double y) const { return kMapBottom - (y - y_lo_) * scale_; }
  // The radius in the unit of the coordinates: degrees of latitude on a map
  // of longitudes and latitudes.
  double radius_on_map() const { return map_.radius_degrees > 0 ? map_.radius_degrees : map_.radius; }
  std::string radius_text() const {
    if (map_.radius_degrees > 0) return format("%g km (%.3g degrees of latitude)", map_.radius, map_.radius_degrees);
    return format("%g", map_.radius) + (units_.empty() ? std::string() : " " + units_);
  }

  // One scale for both coordinates, the samples centred in the map area
  // with a margin around them. On a map of longitudes and latitudes a degree
  // of longitude is drawn as long as it is at the middle latitude, cos(lat)
  // degrees of latitude, so that east and west keep their true length there.
  void fit() {
    double x_min = 0, x_max = 0, y_min = 0, y_max = 0;
    for (std::size_t i = 0; i < map_.points.size(); ++i) {
      const MapPoint& p = map_.points[i];
      x_min = i == 0 ? p.x : std::min(x_min, p.x);
      x_max = i == 0 ? p.x : std::max(x_max, p.x);
      y_min = i == 0 ? p.y : std::min(y_min, p.y);
      y_max = i == 0 ? p.y : std::max(y_max, p.y);
    }
    if (map_.radius_degrees > 0)
      x_stretch_ = std::max(0.05, std::cos((y_min + y_max) / 2 * (std::numbers::pi / 180)));
    const double width = (x_max - x_min) * x_stretch_;
    double span = std::max(width, y_max - y_min);
    if (!(span > 0) || !std::isfinite(span)) span = radius_on_map() > 0 && std::isfinite(radius_on_map()) ? 4 * radius_on_map() : 1;
    scale_ = std::min((kMapRight - kMapLeft) / (width + 0.08 * span), (kMapBottom - kMapTop) / (y_max - y_min + 0.08 * span));
    x_lo_ = (x_min + x_max) / 2 - (kMapRight - kMapLeft) / 2 / (scale_ * x_stretch_);
    y_lo_ = (y_min + y_max) / 2 - (kMapBottom - kMapTop) / 2 / scale_;
  }

  void draw_headings() {
    text_ += format("<text x=\"%g\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">",
                    kPageWidth / 2);
    text_ += xml_text(map_.variable) + ": local Moran's I</text>\n";
    // The degrees of a great-circle radius are on the scale bar.
    std::string test = "Neighbours within " +
                       (map_.radius_degrees > 0 ? format("%g km", map_.radius) : radius_text()) + "; ";
    test += map_.n_rep > 0 ? format("%i conditional randomizations of each sample; filled: adjusted P<=0.05 "
                                    "(Benjamini-Hochberg)",
                                    map_.n_rep)
                           : std::string("no randomization test: quadrants by the signs alone");
    text_ += format("<text x=\"%g\" y=\"54\" text-anchor=\"middle\">", kPageWidth / 2) + xml_text(test) + "</text>\n";
    if (!map_.data_file.empty())
      text_ += format("<text x=\"%g\" y=\"74\" text-anchor=\"middle\" fill=\"#555555\">", kPageWidth / 2) +
               xml_text("Data file: " + map_.data_file) + "</text>\n";
  }

  // Round coordinates along the bottom and the left, light grid lines
  // across, and the frame.
  void draw_frame() {
    text_ += "<g class=\"axes\">\n";
    const double x_hi = x_lo_ + (kMapRight - kMapLeft) / (scale_ * x_stretch_), y_hi = y_lo_ + (kMapBottom - kMapTop) / scale_;
    const double step = std::max(round_axis(x_lo_, x_hi).step, round_axis(y_lo_, y_hi).step);
    if (step > 0 && std::isfinite(step)) {
      for (double k = std::ceil(x_lo_ / step); k * step <= x_hi && k < std::ceil(x_lo_ / step) + 100; ++k) {
        const double x = x_of(k * step);
        text_ += format("<line x1=\"%.2f\" y1=\"%g\" x2=\"%.2f\" y2=\"%g\" stroke=\"%s\"/>\n", x, kMapTop, x, kMapBottom,
                        kMapGridColour);
        text_ += format("<text x=\"%.2f\" y=\"%g\" text-anchor=\"middle\" font-size=\"11\">%s</text>\n", x,
                        kMapBottom + 16, tick_label(k * step, step).c_str());
      }
      for (double k = std::ceil(y_lo_ / step); k * step <= y_hi && k < std::ceil(y_lo_ / step) + 100; ++k) {
        const double y = y_of(k * step);
        text_ += format("<line x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\" stroke=\"%s\"/>\n", kMapLeft, y, kMapRight, y,
                        kMapGridColour);
        text_ += format("<text x=\"%g\" y=\"%.2f\" text-anchor=\"end\" font-size=\"11\">%s</text>\n", kMapLeft - 6,
                        y + 4, tick_label(k * step, step).c_str());
      }
    }
    text_ += format("<rect class=\"frame\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" "
                    "stroke=\"%s\"/>\n</g>\n",
                    kMapLeft, kMapTop, kMapRight - kMapLeft, kMapBottom - kMapTop, kFrameInk);
  }

  double point_radius() const {
    return std::clamp(240 / std::sqrt(static_cast<double>(std::max<std::size_t>(map_.points.size(), 1))), 1.5,
                      5.0);
  }

  void draw_point(const MapPoint& p, double r) {
    const MarkStyle& style = style_of(p.mark);
    const double x = x_of(p.x), y = y_of(p.y);
    const std::string title =
        "<title>" + xml_text(p.sample) +
        (p.mark == MapMark::kMissing ? std::string(": no value")
                                     : format(": I %g", p.moran) +
                                           (std::isnan(p.p_adjusted) ? "" : format(", adjusted P %g", p.p_adjusted)) +
                                           ", " + style.name) +
        "</title>";
    if (p.mark == MapMark::kMissing) {
      text_ += format("<circle class=\"point missing\" cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\">", x, y,
                      std::max(1.0, r / 3), style.fill) +
               title + "</circle>\n";
    } else if (p.mark == MapMark::kNoNeighbours) {
      text_ += format("<path class=\"point no-neighbours\" d=\"M%.2f %.2fL%.2f %.2fM%.2f %.2fL%.2f %.2f\" "
                      "stroke=\"%s\" stroke-width=\"1.5\">",
                      x - r, y - r, x + r, y + r, x - r, y + r, x + r, y - r, style.stroke) +
               title + "</path>\n";
    } else {
      text_ += format("<circle class=\"point %s %s\" cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\" stroke=\"%s\" "
                      "stroke-width=\"1.5\">",
                      style.name, p.significant ? "significant" : "not-significant", x, y, r,
                      p.significant ? style.fill : "white", style.stroke) +
               title + "</circle>\n";
    }
  }

  // The samples without a value first, the significant ones last, on top.
  void draw_points() {
    const double r = point_radius();
    for (int layer = 0; layer < 4; ++layer) {
      for (const MapPoint& p : map_.points) {
        const int of = p.mark == MapMark::kMissing        ? 0
                       : p.mark == MapMark::kNoNeighbours ? 1
                       : p.significant                    ? 3
                                                          : 2;
        if (of == layer) draw_point(p, r);
      }
    }
  }

  void draw_legend() {
    int counts[6] = {}, hollow = 0;
    for (const MapPoint& p : map_.points) {
      if (p.mark <= MapMark::kLowHigh && !p.significant && map_.n_rep > 0)
        ++hollow;
      else
        ++counts[static_cast<int>(p.mark)];
    }
    text_ += "<g class=\"legend\" font-size=\"12\">\n";
    double y = kMapTop + 8;
    auto entry = [&](const std::string& mark, const std::string& label) {
      text_ += mark + format("<text x=\"%g\" y=\"%g\">", kLegendX + 16, y + 4) + xml_text(label) + "</text>\n";
      y += 22;
    };
    text_ += format("<text x=\"%g\" y=\"%g\" font-weight=\"bold\">%s</text>\n", kLegendX, y - 14,
                    map_.n_rep > 0 ? "Significant samples" : "Quadrants (untested)");
    const double r = 5;
    for (int m = 0; m < 4; ++m) {
      const MarkStyle& style = kStyles[m];
      entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"%s\" stroke=\"%s\" stroke-width=\"1.5\"/>",
                   kLegendX + 5, y, r, map_.n_rep > 0 ? style.fill : "white", style.stroke),
            format("%s: %s (%i)", style.name, style.legend, counts[m]));
    }
    y += 8;
    if (map_.n_rep > 0) {
      entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"%g\" fill=\"white\" stroke=\"%s\" stroke-width=\"1.5\"/>",
                   kLegendX + 5, y, r, kPlainColour),
            format("%s (%i):", headings::kNotSignificant, hollow));
      text_ += format("<text x=\"%g\" y=\"%g\" fill=\"#555555\">hollow, in the colour</text>\n", kLegendX + 16,
                      y - 4);
      text_ += format("<text x=\"%g\" y=\"%g\" fill=\"#555555\">of its quadrant</text>\n", kLegendX + 16, y + 11);
      y += 40;
    }
    entry(format("<path d=\"M%g %gL%g %gM%g %gL%g %g\" stroke=\"%s\" stroke-width=\"1.5\"/>", kLegendX, y - 5,
                 kLegendX + 10, y + 5, kLegendX, y + 5, kLegendX + 10, y - 5, kPlainColour),
          format("%s (%i)", style_of(MapMark::kNoNeighbours).legend, counts[static_cast<int>(MapMark::kNoNeighbours)]));
    if (counts[static_cast<int>(MapMark::kMissing)] > 0)
      entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"2\" fill=\"%s\"/>", kLegendX + 5, y, kMissingColour),
            format("%s (%i)", style_of(MapMark::kMissing).legend, counts[static_cast<int>(MapMark::kMissing)]));
    text_ += "</g>\n";
  }

  // A bar as long as the radius, under the map's left corner.
  void draw_scale_bar() {
    const double y = kMapBottom + 44;
    double length = radius_on_map() * scale_;
    std::string label = "neighbour radius " + radius_text();
    if (!(length >= 1)) {
      length = 0;
      label += " (too short to draw)";
    } else if (length > kMapRight - kMapLeft) {
      length = kMapRight - kMapLeft;
      label += " (wider than the map)";
    }
    text_ += "<g class=\"scale-bar\">\n";
    if (length > 0)
      text_ += format("<path d=\"M%g %gL%g %gM%g %gL%.2f %gM%.2f %gL%.2f %g\" stroke=\"%s\" stroke-width=\"2\" "
                      "fill=\"none\"/>\n",
                      kMapLeft, y - 5, kMapLeft, y + 5, kMapLeft, y, kMapLeft + length, y, kMapLeft + length, y - 5, kMapLeft + length,
                      y + 5, kFrameInk);
    text_ += format("<text x=\"%.2f\" y=\"%g\">", kMapLeft + length + 8, y + 4) + xml_text(label) + "</text>\n</g>\n";
  }

  const LocalMap& map_;
  const std::string& units_;
  double scale_ = 1, x_stretch_ = 1, x_lo_ = 0, y_lo_ = 0;
  std::string text_;
};

}  // namespace

LocalMap make_local_map(const LocalRun& run, const LocalValues& values, int v) {
  LocalMap map;
  map.variable = values.variables[static_cast<std::size_t>(v)];
  map.data_file = run.data_file;
  map.radius = run.radius;
  map.radius_degrees = run.radius_degrees;
  map.n_rep = run.n_rep;
  const std::vector<LocalValue>& column = values.values[static_cast<std::size_t>(v)];
  for (std::size_t i = 0; i < values.samples.size(); ++i) {
    const LocalValue& value = column[i];
    MapPoint point{values.samples[i], values.x[i], values.y[i], MapMark::kMissing, false, value.moran,
                   value.p_adjusted};
    if (value.quadrant == headings::kNoNeighbours) {
      point.mark = MapMark::kNoNeighbours;
    } else if (value.quadrant == headings::kNotSignificant) {
      point.mark = mark_of_signs(value.moran, value.lag);
    } else if (!value.quadrant.empty()) {
      point.mark = mark_of_name(value.quadrant);
      point.significant = run.n_rep > 0;
    }
    map.points.push_back(point);
  }
  return map;
}

std::string local_map_svg(const LocalMap& map, const std::string& distance_units) {
  return MapPage(map, distance_units).draw();
}

}  // namespace kalveno::plot
