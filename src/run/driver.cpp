// The entry and the run driver: one call of tarvo() per convergence
// iteration, each a fixed sequence of numbered stages.
#include <algorithm>

#include "tarvo.h"

namespace tarvo {

static void underscores(int n, FILE* f) {
  for (int i = 0; i < n; ++i) std::fputc('_', f);
}

// A stage line that names a file: the texts line up so that "FILE:" starts in
// the same column on every such line.
void stage_file_line(Run& run, int& stage, const char* text, int name_index, const char* out_end,
                     const char* out_lead) {
  const char* name = run.opt.o_value[name_index].c_str();
  to_out(run, "%sSTAGE %2d: %-62sFILE: \"%s\"%s", out_lead, stage, text, name, out_end);
  to_log(run, "STAGE %2d: %-62sFILE: \"%s\"%s", stage, text, name, out_end);
  stage += 1;
}

static void stage_line(Run& run, int& stage, const char* fmt, int value) {
  to_out(run, fmt, stage, value);
  to_log(run, fmt, stage, value);
  stage += 1;
}

static void banner(Run& run, int model, int iteration) {
  for (FILE* f : {run.io.out, run.io.fp7}) {
    if (!f) continue;
    std::fprintf(f, "\n\n");
    underscores(66, f);
    std::fprintf(f, "\nModel No: %d   Convergence iteration %d with %5.3f false positives\n", model,
                 iteration + 1, run.est.alphaCut[run.opt.z_value]);
    underscores(66, f);
    std::fprintf(f, "\n\n");
    if (f == run.io.out) std::fflush(f);
  }
}

// Everything the first iteration does before the level-dependent stages.
static void first_iteration(Run& run, int model, uint32_t seed, int& stage) {
  Options& o = run.opt;
  list_arguments(run, model, seed, run.io.out);
  if (run.io.fp7) list_arguments(run, model, seed, run.io.fp7);
  check_dim(run);

  to_out(run, "STAGE %2d: ", stage);
  to_log(run, "STAGE %2d: ", stage);
  stage += 1;
  read_data(run, run.nloci, run.anim, run.iperm, run.nBlocks, stage, model);

  stage_file_line(run, stage, "Create locus/allele frequency report.", 0, "\n");
  write_loci_freq(run, run.nloci, run.anim, model);
  stage_file_line(run, stage, "Report missing loci combinations in reference data.", 1, "\n");
  print_missing_loci(run, run.nloci, run.iperm, run.anim, run.io.fp2);
  if (run.io.fp2) std::fflush(run.io.fp2);
  if (!o.i_option[1]) {
    stage_file_line(run, stage, "Create locus/allele frequency file for TARVO input.", 7, "\n");
    print_loci_freq(run, run.nloci);
  } else if (o.p_option) {
    stop(1);
  }
  if (model == 1 || model == 2) write_block_names(run, run.nBlocks);

  stage_line(run, stage,
             "\nSTAGE %2d: Finding false positive distribution using %d simulated data sets.\n",
             o.n_value);
  to_out(run, "          Please wait\n");
  get_LZones(run, model, run.nloci, run.anim);

  stage_file_line(run, stage, "Append resample estimates from reference data.", 4, "\n\n", "\n");
  get_recaps_from_data(run, model, run.nloci, run.anim, run.nBlocks, run.totalPairs, 0);
}

int tarvo(Run& run, const std::string& /*progname*/, int model, uint32_t seed, int z,
          int iteration) {
  Options& o = run.opt;
  int stage = 1;
  o.z_value = z;
  get_alphaCut(run);
  banner(run, model, iteration);
  stage_line(run, stage, "STAGE %2d: Listing command line options and defaults\n\n", 0);
  if (iteration == 0) first_iteration(run, model, seed, stage);

  run.goodPairs = static_cast<int>(run.est.d_ngood[o.z_value]);
  run.Etotal = run.est.d_Ex[o.z_value];
  // Only the stored pairs can be grouped.
  const int grouped = std::min(run.goodPairs, run.totalPairs);
  int ngroups = 0;
  if (run.goodPairs != 0) {
    stage_file_line(run, stage, "Report pairwise matches to:", 2, "\n");
    if (o.j_option) stage_file_line(run, stage, "Write composite genotype file to:", 6, "\n");
    clusterPairs(run, run.nloci, run.anim, grouped, ngroups, 0);
  }
  stage_file_line(run, stage, "Report resample percentage within sampling cohorts.", 3, "\n\n");
  int blocks = 0;
  const double result = dataBlockRecaps(run, run.nloci, run.nBlocks, run.anim, run.goodPairs,
                                        run.Etotal, blocks, model, iteration);

  int next = 0;
  if (o.c_value != 0) {
    if (run.goodPairs == 0) {
      stage_line(run, stage,
                 "STAGE %2d: Will not find s.e. of resample estimates as no recaptures found\n", 0);
    } else if (run.nBlocks <= 1) {
      stage_line(run, stage,
                 "STAGE %2d: Finding s.e. of resample estimate using %d simulation runs.\n",
                 o.s_value);
      to_out(run, "          Please wait\n");
      next = get_recaps_from_sim(run, model, run.nloci, run.anim, run.nBlocks, blocks, result,
                                 ngroups, iteration);
    } else {
      stage_line(run, stage,
                 "STAGE %2d: Finding s.e. of resample estimates within each population using %d "
                 "simulation runs.\n",
                 o.s_value);
      to_out(run, "          Please wait\n");
      next = get_recaps_from_sim(run, model, run.nloci, run.anim, run.nBlocks, blocks, result, 0,
                                 iteration);
    }
  }
  if (o.c_value != 0 && z != find_best_z(run)) return next;

  tarvo_pair_report(run, model, run.nloci, run.anim, run.totalPairs, iteration);
  tarvo_pop_report(run, run.nBlocks, blocks);
  if (run.goodPairs == 0) return next;
  clusterPairs(run, run.nloci, run.anim, grouped, ngroups, 1);
  if (o.j_option) stage_file_line(run, stage, "Write composite genotype file to:", 6, "\n");
  return next;
}

int run_main(Run& run, int argc, char** argv) {
  const std::clock_t start = std::clock();
  const std::string path = argc > 0 && argv[0] ? argv[0] : "tarvo";
  if (!program_name_fits(path)) {
    refuse_long_program_path(run);
    return 1;
  }
  const std::string progname = program_name(path);
  const int model = command_line(run, argc, argv, progname);
  if (model <= 0) {
    to_out(run, "Please read full TARVO documentation (Options are case sensitive)\n");
    close_files(run, model);
    return 1;
  }
  Options& o = run.opt;
  const uint32_t seed = o.r_option ? uint32_t(o.r_value) : uint32_t(std::time(nullptr));
  run.rng.init_genrand(seed);
  open_files(run, model);
  if (o.i_option[0]) o.f_option = which_data_format(run);

  int zprev = o.z_value;
  int znext = tarvo(run, progname, model, seed, zprev, 0);
  if (!o.p_option && o.c_value > 1) {
    for (int iteration = 1; iteration < o.c_value; ++iteration) {
      if (znext == zprev) break;
      zprev = znext;
      znext = tarvo(run, progname, model, seed, znext, iteration);
    }
  }
  finish_time(run, start, progname);
  close_files(run, model);
  return 1;
}

}  // namespace tarvo
