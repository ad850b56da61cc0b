// The pair-score plot of the report page: how many pairs of the data score
// in each band of LLR, against how many pairs of unrelated individuals score
// there in one simulated data set of the calibration. Both count pairs of one
// data set, so where the bars stand above the line are the pairs chance does
// not explain. The counts fall on a log axis: chance gives fractions of a
// pair where the data have tens.
#include <algorithm>
#include <cmath>

#include "report/html_report.h"

namespace tarvo::report {

namespace {

constexpr double WIDTH = 860, HEIGHT = 454;
constexpr double LEFT = 80, RIGHT = 30, TOP = 84, BOTTOM = 60;
constexpr double PLOT_W = WIDTH - LEFT - RIGHT, PLOT_H = HEIGHT - TOP - BOTTOM;
constexpr int BANDS = 40;
constexpr const char* OBSERVED_COLOUR = "#1f5fa8";
constexpr const char* CHANCE_COLOUR = "#c0392b";
constexpr const char* CHOSEN_COLOUR = "#2e7d32";

struct Bands {
  double first = 0, width = 1;
  std::vector<int> observed;
  std::vector<double> chance;  // per data set
};

double nice_width(double span) {
  const double raw = span / BANDS;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 2.5, 5.0})
    if (m * power >= raw) return m * power;
  return 10 * power;
}

// From the lowest threshold, below which no pair of the data is kept, to the
// highest score of either kind.
Bands bands(const ScorePlotInput& in) {
  const Calibration& cal = *in.calibration;
  double low = *std::min_element(cal.thresholds.begin(), cal.thresholds.end());
  double high = *std::max_element(cal.thresholds.begin(), cal.thresholds.end());
  for (const MatchPair& p : *in.pairs) {
    low = std::min(low, p.llr);
    high = std::max(high, p.llr);
  }
  if (!cal.pooled.empty()) high = std::max(high, cal.pooled.front());
  Bands b;
  b.width = nice_width(std::max(high - low, 1.0));
  b.first = std::floor(low / b.width) * b.width;
  const int n = std::max(1, static_cast<int>(std::floor((high - b.first) / b.width)) + 1);
  b.observed.assign(std::size_t(n), 0);
  b.chance.assign(std::size_t(n), 0.0);
  const auto band = [&b, n](double llr) {
    return std::clamp(static_cast<int>(std::floor((llr - b.first) / b.width)), 0, n - 1);
  };
  for (const MatchPair& p : *in.pairs) ++b.observed[std::size_t(band(p.llr))];
  const double per_set = cal.sets > 0 ? 1.0 / cal.sets : 0;
  for (const double s : cal.pooled)
    if (s >= b.first) b.chance[std::size_t(band(s))] += per_set;
  return b;
}

class Frame {
 public:
  Frame(const Bands& b, double low, double high) : b_(b), low_(low), high_(high) {}
  [[nodiscard]] double px(double llr) const {
    const double span = b_.width * static_cast<double>(b_.observed.size());
    return LEFT + (llr - b_.first) / span * PLOT_W;
  }
  // Counts on a log axis; what lies below it sits on the axis.
  [[nodiscard]] double py(double count) const {
    const double l = count > 0 ? std::clamp(std::log10(count), low_, high_) : low_;
    return TOP + PLOT_H - (l - low_) / (high_ - low_) * PLOT_H;
  }
  [[nodiscard]] double low() const { return low_; }
  [[nodiscard]] double high() const { return high_; }
  [[nodiscard]] const Bands& bands() const { return b_; }

 private:
  const Bands& b_;
  double low_, high_;
};

Frame frame(const Bands& b, int sets) {
  double top = 1;
  for (const int n : b.observed) top = std::max(top, double(n));
  for (const double c : b.chance) top = std::max(top, c);
  const double bottom = sets > 0 ? 0.5 / sets : 0.01;
  return Frame(b, std::floor(std::log10(bottom)), std::ceil(std::log10(top) + 0.01));
}

void axes(std::ostream& out, const Frame& f) {
  const double bottom = TOP + PLOT_H;
  for (int d = static_cast<int>(f.low()); d <= static_cast<int>(f.high()); ++d) {
    const double y = f.py(std::pow(10.0, d));
    out << format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#dddddd\"/>\n",
                  LEFT, y, LEFT + PLOT_W, y);
    out << format("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\">%g</text>\n", LEFT - 8, y + 4,
                  std::pow(10.0, d));
  }
  const Bands& b = f.bands();
  const double span = b.width * static_cast<double>(b.observed.size());
  const double step = nice_width(span * BANDS / 8);
  for (double x = std::ceil(b.first / step) * step; x <= b.first + span + 1e-9; x += step) {
    out << format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"black\"/>\n",
                  f.px(x), bottom, f.px(x), bottom + 5);
    out << format("<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%g</text>\n", f.px(x),
                  bottom + 20, std::abs(x) < step / 2 ? 0.0 : x);
  }
  out << format(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      LEFT, TOP, PLOT_W, PLOT_H);
  out << format(
      "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" font-size=\"15\">Pair score, "
      "LLR</text>\n",
      LEFT + PLOT_W / 2, HEIGHT - 15);
  out << format(
      "<text x=\"20\" y=\"%.1f\" text-anchor=\"middle\" font-size=\"15\" "
      "transform=\"rotate(-90 20 %.1f)\">Pairs per data set (log scale)</text>\n",
      TOP + PLOT_H / 2, TOP + PLOT_H / 2);
}

void observed_bars(std::ostream& out, const Frame& f) {
  const Bands& b = f.bands();
  out << "<g id=\"observed\">\n";
  for (std::size_t k = 0; k < b.observed.size(); ++k) {
    if (b.observed[k] == 0) continue;
    const double from = b.first + double(k) * b.width;
    const double x = f.px(from), y = f.py(b.observed[k]);
    out << format(
        "<rect class=\"observed\" data-count=\"%d\" x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" "
        "height=\"%.1f\" fill=\"%s\" fill-opacity=\"0.75\"><title>LLR %g to %g: %d pair%s of "
        "the data, %.3g expected by chance</title></rect>\n",
        b.observed[k], x + 0.5, y, std::max(f.px(from + b.width) - x - 1, 1.0), TOP + PLOT_H - y,
        OBSERVED_COLOUR, from, from + b.width, b.observed[k], b.observed[k] == 1 ? "" : "s",
        b.chance[k]);
  }
  out << "</g>\n";
}

// A step line over the bands, on the axis where chance gives nothing.
void chance_line(std::ostream& out, const Frame& f) {
  const Bands& b = f.bands();
  std::string points;
  for (std::size_t k = 0; k < b.chance.size(); ++k) {
    const double from = b.first + double(k) * b.width;
    const double y = f.py(b.chance[k]);
    points += format("%s%.1f,%.1f %.1f,%.1f", points.empty() ? "" : " ", f.px(from), y,
                     f.px(from + b.width), y);
  }
  out << format(
      "<polyline id=\"chance\" fill=\"none\" stroke=\"%s\" stroke-width=\"2\" "
      "points=\"%s\"/>\n",
      CHANCE_COLOUR, points.c_str());
}

void thresholds(std::ostream& out, const Frame& f, const ScorePlotInput& in) {
  const Calibration& cal = *in.calibration;
  out << "<g id=\"thresholds\">\n";
  for (int z = in.chosen - 1; z <= in.chosen + 1; ++z) {
    if (z < 0 || z >= LEVELS) continue;
    const double llr = cal.thresholds[std::size_t(z)];
    const bool chosen = z == in.chosen;
    const double x = f.px(llr);
    const char* colour = chosen ? CHOSEN_COLOUR : "#777777";
    out << format(
        "<line class=\"threshold\" data-z=\"%d\" data-llr=\"%s\" x1=\"%.1f\" y1=\"%.1f\" "
        "x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"%s\"%s><title>z = %d: LLR "
        "threshold %s, V = %g</title></line>\n",
        shown_level(z, cal.sets), tsv_number(llr).c_str(), x, TOP, x, TOP + PLOT_H, colour,
        chosen ? "2" : "1.2", chosen ? "" : " stroke-dasharray=\"5 4\"", shown_level(z, cal.sets),
        tsv_number(llr).c_str(), cal.false_positives[std::size_t(z)]);
    // Labels at three heights, so that close thresholds stay readable.
    out << format("<text x=\"%.1f\" y=\"%.1f\" fill=\"%s\" text-anchor=\"middle\">z = %d</text>\n",
                  x, TOP - 6 - 14.0 * (z - in.chosen + 1), colour, shown_level(z, cal.sets));
  }
  out << "</g>\n";
}

void legend(std::ostream& out) {
  const double y = 16;
  out << format(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"10\" fill=\"%s\" "
      "fill-opacity=\"0.75\"/>\n",
      LEFT, y - 5, OBSERVED_COLOUR);
  out << format("<text x=\"%.1f\" y=\"%.1f\">pairs of the data</text>\n", LEFT + 20, y + 4);
  out << format(
      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
      "stroke-width=\"2\"/>\n",
      LEFT + 170, y, LEFT + 194, y, CHANCE_COLOUR);
  out << format("<text x=\"%.1f\" y=\"%.1f\">unrelated pairs expected by chance</text>\n",
                LEFT + 200, y + 4);
  out << format(
      "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" "
      "stroke-width=\"2\"/>\n",
      LEFT + 450, y, LEFT + 474, y, CHOSEN_COLOUR);
  out << format("<text x=\"%.1f\" y=\"%.1f\">threshold of the level (neighbours dashed)</text>\n",
                LEFT + 480, y + 4);
}

}  // namespace

void score_plot(std::ostream& out, const ScorePlotInput& in) {
  const Bands b = bands(in);
  const Frame f = frame(b, in.calibration->sets);
  out << format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"score-plot\" width=\"%.0f\" "
      "height=\"%.0f\" viewBox=\"0 0 %.0f %.0f\" font-family=\"Helvetica, Arial, sans-serif\" "
      "font-size=\"13\">\n",
      WIDTH, HEIGHT, WIDTH, HEIGHT);
  out << "<title>Pair scores of the data against chance</title>\n";
  out << format("<rect width=\"%.0f\" height=\"%.0f\" fill=\"white\"/>\n", WIDTH, HEIGHT);
  legend(out);
  axes(out, f);
  observed_bars(out, f);
  chance_line(out, f);
  thresholds(out, f, in);
  out << "</svg>\n";
}

}  // namespace tarvo::report
