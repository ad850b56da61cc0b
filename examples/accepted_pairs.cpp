// Which samples come from the same animal: a GENEPOP text read from memory,
// the match threshold calibrated on simulated data sets of unrelated
// individuals, every pair of samples scored, and the pairs accepted at one
// false-positive level printed with the individuals they leave.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <span>
#include <sstream>
#include <thread>
#include <vector>

#include "tarvo/tarvo.h"

namespace {

// Ten cattle loci of 28 animals; three of them were sampled twice (the R
// samples), one repeat missing a locus and one with an allele dropped.
constexpr const char* SAMPLES = R"(Cattle, ten loci
INRA63, INRA5, ETH225, ILSTS5, HEL5, HEL1, INRA35, ETH152, INRA23, ETH10
POP
AFBIBOR9503, 183183 137141 147157 190190 149149 103109 102104 191195 213215 209211
AFBIBOR9504, 181183 141141 139157 186186 151163 105107 104104 195195 197215 207217
AFBIBOR9505, 177183 141141 139139 194194 151165 103103 104104 195197 199199 207211
AFBIBOR9506, 183183 141141 141147 184190 167167 103105 104104 195195 199215 211211
AFBIBOR9507, 177183 141141 153157 184186 155165 103107 104104 191191 199215 209211
AFBIBOR9508, 177183 137143 149157 184186 155165 103105 104104 195197 199199 209219
AFBIBOR9509, 177181 139141 147157 184190 165167 103103 104104 195195 209209 207221
AFBIBOR9510, 183183 139141 155157 184186 165165 103107 102104 195197 205211 209219
AFBIBOR9511, 177183 139141 139143 182190 165165 103105 104104 191195 205209 207219
AFBIBOR9512, 183183 141141 157159 186186 167167 103105 104104 195197 199211 207219
AFBIBOR9513, 177177 141141 147157 184190 165165 107109 102104 191191 215215 207211
AFBIBOR9514, 183183 143143 139157 186186 155155 101107 104120 195197 211213 215219
AFBIBOR9515, 183183 137137 143157 000000 151157 101107 110120 191197 209213 217219
AFBIBOR9516, 177183 137143 139157 182184 155165 101107 102104 193195 199215 207219
AFBIBOR9517, 177183 141141 157157 186194 151155 103109 104110 195197 199215 219219
AFBIBOR9518, 175183 139141 143157 184190 151167 107109 102104 191191 209215 207217
AFBIBOR9519, 177183 141141 139149 186190 165167 105105 104104 191197 209215 209211
AFBIBOR9520, 183183 139139 143157 184194 155167 107117 102104 191191 209215 207215
AFBIBOR9521, 181183 137141 149157 186190 153155 103105 104104 195195 199199 211217
AFBIBOR9522, 177177 141141 139139 184194 163167 101103 104104 191201 215215 207209
AFBIBOR9523, 175177 141141 139145 190190 157165 103107 104104 191191 209213 207219
AFBIBOR9524, 175183 139139 149157 190194 153165 103107 104110 191197 215215 207211
AFBIBOR9525, 177183 139141 147147 184190 155157 103103 104104 191191 213215 207217
AFBIBOR9526, 177183 137137 143145 184184 155155 107107 104110 191195 199215 217217
AFBIBOR9527, 183183 137141 143157 000000 155155 103103 108110 191197 199215 209219
AFBIBOR9528, 177183 141141 139149 186194 153153 103103 104104 195195 199211 209211
AFBIBOR9529, 183183 139141 149157 186194 149165 103105 104104 195197 199211 211211
AFBIBOR9530, 183183 139141 139157 184184 155155 103105 104104 191195 215215 211223
AFBIBOR9506R, 183183 141141 141147 184190 000000 103105 104104 195195 199215 211211
AFBIBOR9513R, 177177 141141 147157 184190 165165 107109 102104 191191 215215 207211
AFBIBOR9528R, 177183 141141 139149 186194 153153 103103 104104 195195 199211 209209
)";

struct Settings {
  double error = 0.01;  // genotyping error rate of the likelihood
  int sets = 200;       // simulated data sets of the calibration
  int level = 5;        // of the 50 false-positive levels, from 0
  std::uint32_t seed = 1;
};

// What the example prints of an analysis.
struct Analysis {
  tarvo::GenotypeTable samples;
  double false_positives = 0;  // V expected among the accepted pairs
  double threshold = 0;        // LLR a pair must reach
  std::vector<tarvo::MatchPair> accepted;
  int individuals = 0;
};

// The analysis at one level, without the level search (no iterations). The
// seed fixes every simulation: a run gives the same result on any number of
// threads.
Analysis analyse(std::istream& genepop, const Settings& settings) {
  tarvo::AnalysisInput input;
  input.genotypes = tarvo::detect_genotypes(genepop);
  tarvo::AnalysisSettings analysis;
  analysis.error = settings.error;
  analysis.retype_error = settings.error;
  analysis.sets = settings.sets;
  analysis.level = settings.level;
  analysis.iterations = 0;
  analysis.seed = settings.seed;
  analysis.threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  const tarvo::AnalysisResult result = tarvo::analyse(input, analysis);

  const tarvo::LevelResult& level = result.levels.at(result.chosen);
  const auto z = static_cast<std::size_t>(level.level);
  const std::span<const tarvo::MatchPair> accepted = result.accepted(level);
  return Analysis{result.data.reference, result.calibration.false_positives[z],
                  result.calibration.thresholds[z],
                  std::vector<tarvo::MatchPair>(accepted.begin(), accepted.end()),
                  result.individuals(level)};
}

void print(const Analysis& analysis, const Settings& settings) {
  const auto name = [&](int sample) { return analysis.samples.sample(sample).name.c_str(); };
  std::printf("Level %d: LLR above %.2f, %.3f false positives expected\n", settings.level + 1,
              analysis.threshold, analysis.false_positives);
  std::printf("%-14s %-14s %8s\n", "sample", "matches", "LLR");
  for (const tarvo::MatchPair& pair : analysis.accepted)
    std::printf("%-14s %-14s %8.2f\n", name(pair.later), name(pair.earlier), pair.llr);
  std::printf("%d samples, %d individuals\n", analysis.samples.size(), analysis.individuals);
}

}  // namespace

int main() {
  std::istringstream genepop(SAMPLES);
  const Settings settings;
  try {
    print(analyse(genepop, settings), settings);
  } catch (const tarvo::Error& e) {
    // The program's log repeats standard output: the other two streams say it all.
    for (const tarvo::MessageLine& line : tarvo::describe(e))
      if (line.stream != tarvo::MessageStream::Log) std::cerr << line.text;
    return 1;
  }
  return 0;
}
