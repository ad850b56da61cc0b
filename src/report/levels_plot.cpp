// The levels plot (_levels.svg): corrected recaptures R_hat of the reference
// data at every level and of the simulations at the levels tried (with their
// standard errors) against the false positives V on a log axis, the level
// the reports hold marked. Plain SVG 1.1, no scripts or external files.
#include <algorithm>
#include <cmath>
#include <vector>

#include "report/report.h"

namespace tarvo::report {

namespace {

constexpr double WIDTH = 860, HEIGHT = 600;
constexpr double LEFT = 90, RIGHT = 30, TOP = 100, BOTTOM = 80;
constexpr double PLOT_W = WIDTH - LEFT - RIGHT, PLOT_H = HEIGHT - TOP - BOTTOM;
constexpr const char* REFERENCE_COLOUR = "#1f5fa8";
constexpr const char* SIMULATED_COLOUR = "#c0392b";
constexpr const char* CHOSEN_COLOUR = "#2e7d32";

std::string escaped(const std::string& text) {
  std::string s;
  for (const char c : text) {
    if (c == '&')
      s += "&amp;";
    else if (c == '<')
      s += "&lt;";
    else if (c == '>')
      s += "&gt;";
    else if (c == '"')
      s += "&quot;";
    else if (static_cast<unsigned char>(c) < 0x20)
      s += ' ';  // control characters are not allowed in XML 1.0
    else
      s += c;
  }
  return s;
}

// Tick values at 1, 2 or 5 times a power of ten, about six of them.
struct Axis {
  double low = 0, high = 1, step = 1;
};

Axis linear_axis(double low, double high) {
  if (!(high > low)) high = low + 1;
  const double raw = (high - low) / 6;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  double step = power;
  for (const double m : {1.0, 2.0, 5.0, 10.0})
    if (m * power >= raw) {
      step = m * power;
      break;
    }
  return Axis{std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

// The log10 range of the axis: the ladder's V with a margin, so that no
// point or marker sits on the frame.
struct LogAxis {
  double first = -2, last = 2;
};

std::string tick_label(double x) {
  return format("%g", x);
}

class Plot {
 public:
  Plot(std::ostream& out, LogAxis x, Axis y) : out_(out), x_(x), y_(y) {}
  [[nodiscard]] double px(double v) const {
    return LEFT + (std::log10(v) - x_.first) / (x_.last - x_.first) * PLOT_W;
  }
  [[nodiscard]] double py(double r) const {
    return TOP + PLOT_H - (r - y_.low) / (y_.high - y_.low) * PLOT_H;
  }
  void text(double x, double y, const std::string& s, const char* attributes) {
    out_ << format("<text x=\"%.1f\" y=\"%.1f\" %s>", x, y, attributes) << escaped(s)
         << "</text>\n";
  }
  void line(double x1, double y1, double x2, double y2, const char* attributes) {
    out_ << format("<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" %s/>\n", x1, y1, x2, y2,
                   attributes);
  }
  void axes();
  std::ostream& out() { return out_; }

 private:
  std::ostream& out_;
  LogAxis x_;
  Axis y_;
};

void Plot::axes() {
  const double bottom = TOP + PLOT_H;
  // Every 1 to 9 times a power of ten is ticked; 1 is labelled, and 2 and 5
  // too when few decades leave room for them.
  const bool label_more = x_.last - x_.first < 4.5;
  for (int d = static_cast<int>(std::floor(x_.first)); d < x_.last; ++d)
    for (int m = 1; m <= 9; ++m) {
      const double v = m * std::pow(10.0, d);
      const double lv = std::log10(v);
      if (lv < x_.first || lv > x_.last) continue;
      const bool labelled = m == 1 || (label_more && (m == 2 || m == 5));
      if (m == 1) line(px(v), TOP, px(v), bottom, "stroke=\"#dddddd\"");
      line(px(v), bottom, px(v), bottom + (labelled ? 6 : 3), "stroke=\"black\"");
      if (labelled) text(px(v), bottom + 22, tick_label(v), "text-anchor=\"middle\"");
    }
  const int ticks = static_cast<int>(std::lround((y_.high - y_.low) / y_.step));
  for (int t = 0; t <= ticks; ++t) {
    const double r = y_.low + t * y_.step;
    line(LEFT, py(r), LEFT + PLOT_W, py(r), "stroke=\"#dddddd\"");
    line(LEFT - 6, py(r), LEFT, py(r), "stroke=\"black\"");
    text(LEFT - 10, py(r) + 5, tick_label(std::abs(r) < y_.step / 2 ? 0.0 : r),
         "text-anchor=\"end\"");
  }
  out_ << format(
      "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\" fill=\"none\" "
      "stroke=\"black\"/>\n",
      LEFT, TOP, PLOT_W, PLOT_H);
  text(LEFT + PLOT_W / 2, HEIGHT - 25, "False positives expected per data set, V (log scale)",
       "text-anchor=\"middle\" font-size=\"15\"");
  text(25, TOP + PLOT_H / 2, "Corrected recaptures, R_hat",
       format("text-anchor=\"middle\" font-size=\"15\" transform=\"rotate(-90 25 %.1f)\"",
              TOP + PLOT_H / 2)
           .c_str());
}

struct Point {
  double v = 0, r = 0, se = NAN;
  int z = 0;
};

struct Series {
  std::vector<Point> reference, simulated;
};

Series series(const LevelsInput& in) {
  Series s;
  for (int k = 0; k < LEVELS; ++k) {
    const std::size_t at = std::size_t(k);
    const double v = in.calibration->false_positives[at];
    if (!(v > 0)) continue;  // no place on a log axis
    s.reference.push_back({v, (*in.levels)[at].recaptures, NAN, k});
    if (in.search != nullptr && in.search->tried(k))
      s.simulated.push_back(
          {v, in.search->mean_recaptures()[at], in.search->standard_errors()[at], k});
  }
  return s;
}

Axis value_axis(const Series& s) {
  double low = 0, high = 0;
  for (const Point& p : s.reference) {
    low = std::min(low, p.r);
    high = std::max(high, p.r);
  }
  for (const Point& p : s.simulated) {
    const double se = std::isnan(p.se) ? 0 : p.se;
    low = std::min(low, p.r - se);
    high = std::max(high, p.r + se);
  }
  return linear_axis(low, high);
}

LogAxis decades(const Series& s) {
  if (s.reference.empty()) return LogAxis{};
  double low = s.reference.front().v, high = low;
  for (const Point& p : s.reference) {
    low = std::min(low, p.v);
    high = std::max(high, p.v);
  }
  const double lo = std::log10(low), hi = std::log10(high);
  const double margin = std::max(0.05 * (hi - lo), 0.1);
  return LogAxis{lo - margin, hi + margin};
}

void reference_series(Plot& plot, const std::vector<Point>& points, int sets) {
  std::string path;
  for (const Point& p : points)
    path += format("%s%.1f,%.1f", path.empty() ? "" : " ", plot.px(p.v), plot.py(p.r));
  plot.out() << "<g id=\"reference\">\n";
  plot.out() << "<polyline fill=\"none\" stroke=\"" << REFERENCE_COLOUR
             << "\" stroke-width=\"1.5\" points=\"" << path << "\"/>\n";
  for (const Point& p : points)
    plot.out() << format(
        "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"><title>z = %d, V = %g: R_hat "
        "%.2f</title></circle>\n",
        plot.px(p.v), plot.py(p.r), REFERENCE_COLOUR, shown_level(p.z, sets), p.v, p.r);
  plot.out() << "</g>\n";
}

// The s.e. beside a point, unless an earlier label stands there; every
// point tells its numbers on hover.
struct Labels {
  std::vector<std::pair<double, double>> placed;
  [[nodiscard]] bool free(double x, double y) const {
    for (const auto& [px, py] : placed)
      if (std::abs(px - x) < 56 && std::abs(py - y) < 15) return false;
    return true;
  }
};

// The square is hollow and drawn under its bar, so that a standard error of
// a pixel or two still shows.
void simulated_series(Plot& plot, const std::vector<Point>& points, int sets) {
  const std::string stroke = format("stroke=\"%s\" stroke-width=\"1.5\"", SIMULATED_COLOUR);
  const std::string bar = format("stroke=\"%s\" stroke-width=\"2\"", SIMULATED_COLOUR);
  Labels labels;
  plot.out() << "<g id=\"simulated\">\n";
  for (const Point& p : points) {
    const double x = plot.px(p.v), y = plot.py(p.r);
    plot.out() << "<g>"
               << format("<title>z = %d, V = %g: simulated R_hat %.2f, s.e. %.2f</title>",
                         shown_level(p.z, sets), p.v, p.r, p.se)
               << "\n";
    plot.out() << format(
        "<rect x=\"%.1f\" y=\"%.1f\" width=\"9\" height=\"9\" fill=\"white\" "
        "fill-opacity=\"0.6\" %s/>\n",
        x - 4.5, y - 4.5, stroke.c_str());
    if (!std::isnan(p.se)) {
      const double top = plot.py(p.r + p.se), bottom = plot.py(p.r - p.se);
      plot.line(x, top, x, bottom, bar.c_str());
      plot.line(x - 6, top, x + 6, top, bar.c_str());
      plot.line(x - 6, bottom, x + 6, bottom, bar.c_str());
      const double ly = std::min(top, y - 4.5) - 5;
      if (labels.free(x, ly)) {
        labels.placed.emplace_back(x, ly);
        plot.text(x + 8, ly, format("\xc2\xb1%.2f", p.se),
                  format("class=\"se\" font-size=\"11\" fill=\"%s\" stroke=\"white\" "
                         "stroke-width=\"3\" paint-order=\"stroke\"",
                         SIMULATED_COLOUR)
                      .c_str());
      }
    }
    plot.out() << "</g>\n";
  }
  plot.out() << "</g>\n";
}

void chosen_marker(Plot& plot, const LevelsInput& in) {
  const std::size_t at = std::size_t(in.chosen);
  const double v = in.calibration->false_positives[at];
  if (!(v > 0)) return;
  const double x = plot.px(v);
  const std::string stroke =
      format("stroke=\"%s\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"", CHOSEN_COLOUR);
  plot.out() << "<g id=\"chosen\">\n";
  plot.line(x, TOP, x, TOP + PLOT_H, stroke.c_str());
  std::string label =
      format("z = %d, V = %g, R_hat = %.2f", shown_level(in.chosen, in.calibration->sets), v,
             (*in.levels)[at].recaptures);
  if (in.search != nullptr && in.search->tried(in.chosen))
    label += format(", simulated %.2f \xc2\xb1 %.2f s.e.", in.search->mean_recaptures()[at],
                    in.search->standard_errors()[at]);
  // The label stays inside the plot on whichever side has room.
  const bool left_side = x > LEFT + PLOT_W / 2;
  plot.text(
      left_side ? x - 6 : x + 6, TOP + 18, label,
      format("fill=\"%s\" text-anchor=\"%s\"", CHOSEN_COLOUR, left_side ? "end" : "start").c_str());
  plot.out() << "</g>\n";
}

void legend(Plot& plot) {
  const double y = TOP - 20;
  double x = LEFT;
  plot.line(x, y, x + 24, y,
            format("stroke=\"%s\" stroke-width=\"1.5\"", REFERENCE_COLOUR).c_str());
  plot.out() << format("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"3\" fill=\"%s\"/>\n", x + 12, y,
                       REFERENCE_COLOUR);
  plot.text(x + 30, y + 5, "reference data", "");
  x += 170;
  const std::string stroke = format("stroke=\"%s\" stroke-width=\"1.5\"", SIMULATED_COLOUR);
  plot.line(x + 12, y - 8, x + 12, y + 8, stroke.c_str());
  plot.out() << format("<rect x=\"%.1f\" y=\"%.1f\" width=\"9\" height=\"9\" fill=\"white\" %s/>\n",
                       x + 7.5, y - 4.5, stroke.c_str());
  plot.text(x + 30, y + 5, "simulations (mean \xc2\xb1 s.e.)", "");
  x += 250;
  plot.line(
      x, y, x + 24, y,
      format("stroke=\"%s\" stroke-width=\"1.5\" stroke-dasharray=\"6 4\"", CHOSEN_COLOUR).c_str());
  plot.text(x + 30, y + 5, "level of the reports", "");
}

}  // namespace

void levels_plot(std::ostream& out, const LevelsInput& input) {
  const Series s = series(input);
  Plot plot(out, decades(s), value_axis(s));
  out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  out << format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%.0f\" height=\"%.0f\" "
      "viewBox=\"0 0 %.0f %.0f\" font-family=\"Helvetica, Arial, sans-serif\" "
      "font-size=\"13\">\n",
      WIDTH, HEIGHT, WIDTH, HEIGHT);
  out << "<title>Corrected recaptures against false positives</title>\n";
  out << format("<rect width=\"%.0f\" height=\"%.0f\" fill=\"white\"/>\n", WIDTH, HEIGHT);
  plot.text(WIDTH / 2, 30, "Corrected recaptures (R_hat) against false positives (V)",
            "text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\"");
  if (!input.subtitle.empty())
    plot.text(WIDTH / 2, 52, input.subtitle, "text-anchor=\"middle\" fill=\"#555555\"");
  plot.axes();
  chosen_marker(plot, input);
  reference_series(plot, s.reference, input.calibration->sets);
  simulated_series(plot, s.simulated, input.calibration->sets);
  legend(plot);
  out << "</svg>\n";
}

}  // namespace tarvo::report
