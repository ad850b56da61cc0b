// Reading speed of the genotype readers, which must stay linear in the
// input: a file of about 100 MB (30,000 samples of 480 loci) in each layout,
// and single lines of 80,000 loci, where a reader that rescans or shifts
// the rest of its line per field shows at once. Bytes/s are of the file.
#include <benchmark/benchmark.h>

#include <streambuf>
#include <string>

#include "tarvo/formats.h"

namespace {

// A stream over text held elsewhere: the file's bytes are not copied again.
class TextBuffer : public std::streambuf {
 public:
  explicit TextBuffer(const std::string& text) {
    char* begin = const_cast<char*>(text.data());
    setg(begin, begin, begin + text.size());
  }
};

std::string genotype(int sample, int locus, int digits) {
  const int a = 100 + (sample * 7 + locus * 13) % 40;
  const int b = 100 + (sample * 11 + locus * 3) % 40;
  return digits == 3 ? std::to_string(a * 1000 + b) : std::to_string((a % 100) * 100 + b % 100);
}

std::string genepop_file(int samples, int loci) {
  std::string text = "Benchmark data\n";
  for (int k = 0; k < loci; ++k) text.append(k ? ", L" : "L").append(std::to_string(k + 1));
  text += "\nPOP\n";
  for (int s = 0; s < samples; ++s) {
    text.append("Sample").append(std::to_string(s)).append(",");
    for (int k = 0; k < loci; ++k) text.append(" ").append(genotype(s, k, 3));
    text += "\n";
  }
  return text;
}

std::string own_file(int samples, int loci) {
  std::string text = "ID";
  for (int k = 0; k < loci; ++k) {
    const std::string name = std::to_string(k + 1);
    text.append(",L").append(name).append(",L").append(name);
  }
  text += "\nPOP,All\n";
  for (int s = 0; s < samples; ++s) {
    text.append("Sample").append(std::to_string(s));
    for (int k = 0; k < loci; ++k) {
      const std::string g = genotype(s, k, 3);
      text.append(",").append(g, 0, 3).append(",").append(g, 3);
    }
    text += "\n";
  }
  return text;
}

void read_file(benchmark::State& state, const std::string& text, tarvo::GenotypeFormat format) {
  for (auto _ : state) {
    TextBuffer buffer(text);
    std::istream in(&buffer);
    const tarvo::GenotypeTable table = tarvo::read_genotypes(in, format, {});
    benchmark::DoNotOptimize(table.size());
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
  state.counters["MB"] = double(text.size()) / 1e6;
}

void BM_Genepop100MB(benchmark::State& state) {
  static const std::string text = genepop_file(30000, 480);
  read_file(state, text, tarvo::GenotypeFormat::Genepop);
}

void BM_Own100MB(benchmark::State& state) {
  static const std::string text = own_file(30000, 430);
  read_file(state, text, tarvo::GenotypeFormat::Own);
}

void BM_GenepopLineOf80000Loci(benchmark::State& state) {
  static const std::string text = genepop_file(2, 80000);
  read_file(state, text, tarvo::GenotypeFormat::Genepop);
}

void BM_OwnLineOf80000Loci(benchmark::State& state) {
  static const std::string text = own_file(2, 80000);
  read_file(state, text, tarvo::GenotypeFormat::Own);
}

BENCHMARK(BM_Genepop100MB)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Own100MB)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_GenepopLineOf80000Loci)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_OwnLineOf80000Loci)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
