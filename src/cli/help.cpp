// The help text: every option with its default and meaning, as the README
// and the manual give them.
#include "cli/help.h"

#include "report/report.h"
#include "tarvo/limits.h"

namespace tarvo::cli {

InfoRequest info_request(std::span<const std::string> args) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--") break;
    if (args[i] == "-h" || args[i] == "--help") return InfoRequest::Help;
    if (args[i] == "--version") return InfoRequest::Version;
  }
  return InfoRequest::None;
}

std::string version_text() {
  return std::string(VERSION) + "\n";
}

std::string help_text(const std::string& progname) {
  const char* p = progname.c_str();
  return report::format(
             "Usage: %s -1 FILE [options]                  analyse genotypes (models 1, 2 with "
             "-2 FILE)\n"
             "       %s -1 FILE|-2 FILE -M NUM [options]   simulate reference data (models 3-10)\n"
             "       %s                                    the table of models\n\n",
             p, p, p) +
         "Finds the samples that come from the same individual, calibrates the match threshold\n"
         "by simulation and estimates recaptures with standard errors.\n\n"
         "Input:\n"
         "  -1 FILE     genotypes, GENEPOP or the program's own comma-separated layout\n"
         "  -2 FILE     allele frequencies\n\n"
         "Options (default in brackets):\n"
         "  -b NUM      missing loci of the standard-error simulations: 0 the samples' own,\n"
         "              1 resampled from all samples, 2 from the sample's population [1]\n"
         "  -c NUM      convergence iterations, 0 to 10; 0 also switches off the standard\n"
         "              errors [10]\n"
         "  -d STR      prefix of the output file names [TARVO]\n"
         "  -e NUM      genotyping error rate of the likelihood, 0.0001 to 0.2 [0.01]\n"
         "  -E NUM      error rate of simulated genotypes [the -e value]\n"
         "  -H NUM      samples of a second simulated population, at least 20 [0]\n"
         "  -j          write the composite genotype file\n"
         "  -k STR      population keyword of genotype files [POP]\n"
         "  -m NUM      drop populations with fewer samples when reading [10, only with -m]\n"
         "  -M NUM      samples to simulate, 50 to 30000\n"
         "  -n NUM      simulated data sets for the false-positive calibration, 100 to 1000 "
         "[200]\n"
         "  -p          create simulated data only\n"
         "  -r NUM      seed of the random number generator [the time]\n"
         "  -R NUM      recaptures to simulate, at most M/2 [0]\n"
         "  -s [NUM]    simulation runs for the standard errors, 10 to 10000 [100]\n"
         "  -t NUM      threads, 1 to 1024; results never depend on it [every core]\n"
         "  -w          leave pairs that miss the match criterion out of the pairwise report\n"
         "  -Y NUM      probability that a locus is scored in a simulated sample, 0.50 to 1.00\n"
         "              [1.00]\n"
         "  -z NUM      starting false-positive level, 1 to 50 (0 to 49 with -n 1000) [6]\n"
         "  --fast      counter-based draws on every core: the same laws, other bytes than\n"
         "              a default run (large studies)\n"
         "  -h, --help  this help;  --version  the version\n\n"
         "Options are case-sensitive; flags may be clustered (-jz 3); -- ends the options.\n"
         "Exit status: 0 after a complete run, 1 after a command-line or input error,\n"
         "255 when an output file cannot be written. See the manual: man tarvo.\n";
}

}  // namespace tarvo::cli
