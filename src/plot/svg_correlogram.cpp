#include "plot/svg_correlogram.h"

#include <algorithm>
#include <cmath>

#include "base/text.h"
#include "plot/axes.h"
#include "plot/xml_text.h"

namespace kalveno::plot {

namespace {

// Page and plot area, in SVG user units (pixels).
constexpr double kWidth = 760, kHeight = 520;
constexpr double kLeft = 90, kRight = 730, kTop = 100, kBottom = 420;

constexpr char kInk[] = "#222222";
constexpr char kTraceColour[] = "#1f5f9f";
constexpr char kBandColour[] = "#9fc5e8";
constexpr char kGridColour[] = "#e4e4e4";
constexpr char kExpectationColour[] = "#b04020";

class SvgPage {
 public:
  SvgPage(const Correlogram& figure, const std::string& units) : figure_(figure), units_(units) {}

  std::string draw() {
    choose_axes();
    text_ += svg_document_start(kWidth, kHeight);
    draw_headings();
    draw_axes();
    draw_bands();
    draw_zero_line();
    draw_expectation_line();
    draw_traces();
    draw_points();
    draw_legend();
    text_ += "</svg>\n";
    return text_;
  }

 private:
  double x_of(double distance) const { return place(x_, distance, kLeft, kRight); }
  double y_of(double moran) const { return place(y_, moran, kBottom, kTop); }

  // Distances from 0; Moran's I over every point and band, 0 always shown.
  void choose_axes() {
    double x_lo = 0, x_hi = 0, y_lo = 0, y_hi = 0;
    auto take = [&](double distance, double low, double high) {
      x_lo = std::min(x_lo, distance);
      x_hi = std::max(x_hi, distance);
      y_lo = std::min(y_lo, low);
      y_hi = std::max(y_hi, high);
    };
    for (const CorrelogramPoint& p : figure_.points) take(p.distance, p.moran, p.moran);
    if (std::isfinite(figure_.expectation)) take(0, figure_.expectation, figure_.expectation);
    for (const auto& band : figure_.bands)
      for (const BandPoint& b : band) take(b.distance, std::min(b.low, b.high), std::max(b.low, b.high));
    // A margin keeps the outermost points and their codes off the frame.
    auto widen = [](double& bound, double margin) {
      if (std::isfinite(bound + margin)) bound += margin;
    };
    widen(x_hi, (x_hi / 2 - x_lo / 2) * 0.06);
    const double y_margin = (y_hi / 2 - y_lo / 2) * 0.16;
    widen(y_hi, y_margin);
    widen(y_lo, -y_margin);
    x_ = round_axis(x_lo, x_hi);
    if (x_lo == 0 && x_hi == 0) x_.lo = 0;  // all at distance 0: no room on the left
    y_ = round_axis(y_lo, y_hi);
  }

  void draw_headings() {
    text_ += format("<text x=\"%g\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">",
                    kWidth / 2);
    text_ += xml_text(figure_.variable) + ": Moran's I correlogram</text>\n";
    std::string test = figure_.randomization.empty()
                           ? std::string("Observed values, without randomization test")
                           : format("Significance by %s randomization (%i replicates)%s%s",
                                    figure_.randomization.c_str(), figure_.n_rep,
                                    figure_.correction.empty() ? "" : ", corrected across classes by ",
                                    figure_.correction.c_str());
    text_ += format("<text x=\"%g\" y=\"54\" text-anchor=\"middle\">", kWidth / 2) + xml_text(test) +
             "</text>\n";
    std::string context;
    if (!figure_.data_file.empty()) context = "Data file: " + figure_.data_file;
    if (!figure_.pairs.empty()) context += (context.empty() ? "" : "; ") + std::string("pairs: ") + figure_.pairs;
    if (!context.empty())
      text_ += format("<text x=\"%g\" y=\"74\" text-anchor=\"middle\" fill=\"#555555\">", kWidth / 2) +
               xml_text(context) + "</text>\n";
  }

  void draw_axes() {
    text_ += "<g class=\"axes\" stroke-width=\"1\">\n";
    if (x_.step > 0) {
      for (double k = std::ceil(x_.lo / x_.step); k * x_.step <= x_.hi + x_.step * 1e-9 && k < 1e3; ++k) {
        double x = x_of(k * x_.step);
        text_ += format("<line x1=\"%.2f\" y1=\"%g\" x2=\"%.2f\" y2=\"%g\" stroke=\"%s\"/>\n", x, kTop, x,
                        kBottom, kGridColour);
        text_ += format("<text x=\"%.2f\" y=\"%g\" text-anchor=\"middle\">%s</text>\n", x, kBottom + 18,
                        tick_label(k * x_.step, x_.step).c_str());
      }
    }
    if (y_.step > 0) {
      for (double k = std::ceil(y_.lo / y_.step); k * y_.step <= y_.hi + y_.step * 1e-9 && k < 1e3; ++k) {
        double y = y_of(k * y_.step);
        text_ += format("<line x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\" stroke=\"%s\"/>\n", kLeft, y, kRight,
                        y, kGridColour);
        text_ += format("<text x=\"%g\" y=\"%.2f\" text-anchor=\"end\">%s</text>\n", kLeft - 8, y + 4,
                        tick_label(k * y_.step, y_.step).c_str());
      }
    }
    text_ += format("<rect class=\"frame\" x=\"%g\" y=\"%g\" width=\"%g\" height=\"%g\" fill=\"none\" "
                    "stroke=\"%s\"/>\n",
                    kLeft, kTop, kRight - kLeft, kBottom - kTop, kInk);
    std::string x_label = "Mean distance of class";
    if (!units_.empty()) x_label += " (" + units_ + ")";
    text_ += format("<text x=\"%g\" y=\"%g\" text-anchor=\"middle\">", (kLeft + kRight) / 2, kBottom + 46) +
             xml_text(x_label) + "</text>\n";
    // A quantitative variable's class value is I - E(I), 0 without
    // autocorrelation; a qualitative one's score has its own expectation line.
    text_ += format("<text x=\"24\" y=\"%g\" text-anchor=\"middle\" transform=\"rotate(-90 24 %g)\">%s</text>\n",
                    (kTop + kBottom) / 2, (kTop + kBottom) / 2,
                    std::isfinite(figure_.expectation) ? "Moran's I (score of states)" : "Moran's I - E(I)");
    text_ += "</g>\n";
  }

  // A run of two classes or more is a shaded area; a lone class a bar.
  void draw_bands() {
    for (const auto& band : figure_.bands) {
      std::string path;
      if (band.size() == 1) {
        const BandPoint& b = band[0];
        path = format("M%.2f %.2fL%.2f %.2f", x_of(b.distance), y_of(b.high), x_of(b.distance), y_of(b.low));
        text_ += "<path class=\"band\" d=\"" + path +
                 format("\" stroke=\"%s\" stroke-width=\"8\" stroke-opacity=\"0.6\"/>\n", kBandColour);
        continue;
      }
      for (std::size_t i = 0; i < band.size(); ++i)
        path += format("%c%.2f %.2f", i == 0 ? 'M' : 'L', x_of(band[i].distance), y_of(band[i].high));
      for (std::size_t i = band.size(); i-- > 0;)
        path += format("L%.2f %.2f", x_of(band[i].distance), y_of(band[i].low));
      text_ += "<path class=\"band\" d=\"" + path + "Z\" fill=\"" + kBandColour + "\" fill-opacity=\"0.6\"/>\n";
    }
  }

  void draw_zero_line() {
    double y = y_of(0);
    text_ += format("<line class=\"zero\" x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\" stroke=\"%s\" "
                    "stroke-dasharray=\"6 4\"/>\n",
                    kLeft, y, kRight, y, kInk);
  }

  // A qualitative variable's expectation without autocorrelation.
  void draw_expectation_line() {
    if (!std::isfinite(figure_.expectation)) return;
    const double y = y_of(figure_.expectation);
    text_ += format("<line class=\"expectation\" x1=\"%g\" y1=\"%.2f\" x2=\"%g\" y2=\"%.2f\" stroke=\"%s\" "
                    "stroke-dasharray=\"2 3\"/>\n",
                    kLeft, y, kRight, y, kExpectationColour);
    text_ += format("<text class=\"expectation\" x=\"%g\" y=\"%.2f\" text-anchor=\"end\" font-size=\"11\" "
                    "fill=\"%s\">expectation -1/(N-1)</text>\n",
                    kRight - 4, y - 4, kExpectationColour);
  }

  // Points of consecutive classes are joined; a missing class breaks the line.
  void draw_traces() {
    const auto& points = figure_.points;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= points.size(); ++i) {
      if (i < points.size() && points[i].class_number == points[i - 1].class_number + 1) continue;
      if (i - start >= 2) {
        text_ += "<polyline class=\"trace\" fill=\"none\" stroke=\"" + std::string(kTraceColour) +
                 "\" stroke-width=\"1.5\" points=\"";
        for (std::size_t k = start; k < i; ++k)
          text_ += format("%s%.2f,%.2f", k == start ? "" : " ", x_of(points[k].distance),
                          y_of(points[k].moran));
        text_ += "\"/>\n";
      }
      start = i;
    }
  }

  // Significant points are filled and carry their code; points of a test
  // without significance are open; untested points are filled grey. Where
  // the test shows a correction across the classes, a point is filled only
  // when it stays significant after it; one significant only before it is
  // hollow, with a thicker ring, and carries its code before correction; a
  // filled point carries its code after correction.
  void draw_points() {
    const bool tested = !figure_.randomization.empty();
    for (const CorrelogramPoint& p : figure_.points) {
      const double x = x_of(p.distance), y = y_of(p.moran);
      const bool uncorrected_only = p.stars > 0 && p.corrected_stars == 0;
      const char* kind = !tested || p.stars < 0  ? "untested"
                         : uncorrected_only      ? "significant-before-correction"
                         : p.stars > 0           ? "significant"
                                                 : "not-significant";
      const char* fill = p.stars > 0 && !uncorrected_only ? kTraceColour
                         : tested && p.stars >= 0         ? "white"
                                                          : "#888888";
      text_ += format("<circle class=\"point %s\" cx=\"%.2f\" cy=\"%.2f\" r=\"4.5\" fill=\"%s\" "
                      "stroke=\"%s\" stroke-width=\"%s\">",
                      kind, x, y, fill, kTraceColour, uncorrected_only ? "2.5" : "1.5");
      const int shown_stars = uncorrected_only || p.corrected_stars < 0 ? p.stars : p.corrected_stars;
      const std::string code = shown_stars > 0 ? std::string(shown_stars, '*') : "";
      const std::string adjusted =
          p.corrected_stars >= 0 ? "; corrected: " + (p.corrected_stars > 0 ? std::string(p.corrected_stars, '*') : "none")
                                 : "";
      const std::string before = p.stars > 0 ? std::string(p.stars, '*') : "";
      text_ += format("<title>class %i: mean distance %g, %s %g%s%s%s</title></circle>\n", p.class_number, p.distance,
                      std::isfinite(figure_.expectation) ? "Moran's I" : "I - E(I)", p.moran,
                      before.empty() ? "" : " ", before.c_str(), adjusted.c_str());
      if (!code.empty())  // on the side away from zero, clear of the line and the band
        text_ += format("<text class=\"code\" x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%s</text>\n", x,
                        p.moran < 0 ? y + 17 : y - 9, code.c_str());
    }
    if (figure_.points.empty())
      text_ += format("<text class=\"note\" x=\"%g\" y=\"%g\" text-anchor=\"middle\" fill=\"#555555\">"
                      "No distance class with a Moran's I value to draw</text>\n",
                      (kLeft + kRight) / 2, (kTop + kBottom) / 2);
  }

  // One row under the axis label; each entry is a mark and its text, the
  // next entry placed after an estimate of the text's width.
  void draw_legend() {
    double x = 40;
    const double y = kHeight - 14;
    auto entry = [&](const std::string& mark, const std::string& text) {
      text_ += mark + format("<text x=\"%g\" y=\"%g\">", x + 10, y) + xml_text(text) + "</text>\n";
      x += 10 + 6.5 * text.size() + 30;
    };
    text_ += "<g class=\"legend\" font-size=\"12\">\n";
    if (!figure_.randomization.empty()) {
      entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"4.5\" fill=\"%s\" stroke=\"%s\"/>", x, y - 4,
                   kTraceColour, kTraceColour),
            figure_.correction.empty() ? "significant: * P<=0.05 ** P<=0.01 *** P<=0.001"
                                       : "corrected: significant");
      if (!figure_.correction.empty())
        entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"4.5\" fill=\"white\" stroke=\"%s\" stroke-width=\"2.5\"/>",
                     x, y - 4, kTraceColour),
              "before correction only");
      entry(format("<circle cx=\"%g\" cy=\"%g\" r=\"4.5\" fill=\"white\" stroke=\"%s\"/>", x, y - 4,
                   kTraceColour),
            "not significant");
    }

    if (!figure_.bands.empty())
      entry(format("<rect x=\"%g\" y=\"%g\" width=\"12\" height=\"10\" fill=\"%s\" fill-opacity=\"0.6\"/>",
                   x - 6, y - 9, kBandColour),
            "95% of randomized values");
    text_ += "</g>\n";
  }

  const Correlogram& figure_;
  const std::string& units_;
  Axis x_{0, 1, 0}, y_{-1, 1, 0};
  std::string text_;
};

}  // namespace

std::string correlogram_svg(const Correlogram& figure, const std::string& distance_units) {
  return SvgPage(figure, distance_units).draw();
}

}  // namespace kalveno::plot
