// The loading stage: genotypes read from file, frequencies read or counted,
// or reference data simulated from the frequencies, with the missing-loci
// combinations of the reference data.
#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "report/report.h"
#include "tarvo/formats.h"
#include "tarvo/frequencies.h"
#include "tarvo/genotypes.h"
#include "tarvo/patterns.h"
#include "tarvo/rng.h"

namespace tarvo::cli {

struct LoadedData {
  GenotypeTable reference;
  FrequencyTable frequencies;
  std::vector<MissingPattern> patterns;
};

// The input files held in memory: the loading stage run without touching
// the disk.
struct MemoryFiles {
  std::string genotypes;
  std::string frequencies;
};

// The genotype file as format detection leaves it. The file is opened once,
// so that a pipe, a FIFO or a process substitution can be read: the text
// detection took is read again from memory, then the rest of the stream.
struct OpenedGenotypes {
  std::unique_ptr<std::istream> stream;
  std::string seen;
};

struct LoadContext {
  const Options& options;
  Model model;
  report::Console& console;
  Rng& rng;
  int& stage;            // the stage number, advanced past the simulated data's stage
  std::string& reading;  // the input file being read, for the messages of its reader
  OutputSet& outputs;    // where the simulated data are written
  const MemoryFiles* memory = nullptr;  // null: the files the options name
  // Where detection leaves the opened genotype file for the loading stage;
  // null: the loading stage opens the file again.
  OpenedGenotypes* opened = nullptr;
};

// The layout of the genotype file, which is left open in context.opened.
[[nodiscard]] GenotypeFormat detect_genotype_format(const LoadContext& context);

[[nodiscard]] LoadedData load_data(const LoadContext& context);

}  // namespace tarvo::cli
