// The recapture estimator: among n samples with M matches, V of them false,
// and an effective size E, n(1 - (1 - (M - V)/E)^(n/E)) samples are
// recaptures. Its argument here is the unmatched share h = 1 - (M - V)/E.
//
// Three operation orders of the same formula are in use, and each report keeps
// the last bits it has always had, so the orders stay apart and live only here.
#pragma once

#include <cmath>

namespace tarvo {

// Through the chance 1 - h^(1/E) that a draw recaptures: the reference scan
// and the simulated standard errors. h must be positive.
[[nodiscard]] inline double expected_recaptures(double h, double effective, double n) {
  const double recapture_chance = 1 - std::exp(std::log(h) / effective);
  return n * (1 - std::pow(1 - recapture_chance, n));
}

// Through the chance h^(1/E) that a draw misses: a cell within a population.
[[nodiscard]] inline double within_cell_recaptures(double h, double effective, double n) {
  const double miss_chance = std::exp(std::log(h) / effective);
  return (1 - std::pow(miss_chance, n)) * n;
}

// h raised at once to n/E: a cell between two populations, n their geometric
// mean size.
[[nodiscard]] inline double between_cell_recaptures(double h, double effective, double n) {
  return n * (1 - std::pow(h, n / effective));
}

}  // namespace tarvo
