// The options listing of the first iteration, the capacity check for the
// simulated sample numbers, and the population list of the population report.
#include "tarvo.h"

namespace tarvo {

namespace {

constexpr const char* RULE =
    "          "
    "______________________________________________________________________________________\n";

}  // namespace

void list_arguments(Run& run, int /*model*/, uint32_t seed, FILE* stream) {
  const Options& o = run.opt;
  FILE* f = stream;
  if (!f) return;

  std::fprintf(f, "%s", RULE);
  std::fprintf(f, "\n          Table 1  Options list\n");
  std::fprintf(f, "                   Status equals one if set by command line\n");
  std::fprintf(f, "%s", RULE);
  std::fprintf(f, "\n          Option   Status   Value\n");

  std::fprintf(f, "             -b    %d        %d\n", o.b_option, o.b_value);
  std::fprintf(f, "             -c    %d        %d\n", o.c_option, o.c_value);
  std::fprintf(f, "             -d    %d        \"%s\"\n", o.d_option, o.d_value.c_str());
  std::fprintf(f, "             -e    %d        %6.4f\n", o.e_option, o.e_value / 10000.0);
  std::fprintf(f, "             -E    %d        %6.4f\n", o.E_option, o.E_value / 10000.0);
  std::fprintf(f, "             -f    %d\n", o.f_option);
  std::fprintf(f, "             -j    %d\n", o.j_option);
  std::fprintf(f, "             -H    %d        %d\n", o.H_option, o.H_value);
  for (int k = 0; k < 2; ++k) {
    std::fprintf(f, "             -i%1d   %d", k + 1, o.i_option[k]);
    if (o.i_option[k])
      std::fprintf(f, "        \"%s\"\n", o.i_value[k].c_str());
    else
      std::fprintf(f, "\n");
  }
  std::fprintf(f, "             -k    %d        \"%s\"\n", o.k_option, o.k_value.c_str());
  std::fprintf(f, "             -m    %d        %d\n", o.m_option, o.m_value);
  std::fprintf(f, "             -M    %d        %d\n", o.M_option, o.M_value);
  std::fprintf(f, "             -n    %d        %d\n", o.n_option, o.n_value);
  for (int k = 0; k < 9; ++k) {
    std::fprintf(f, "             -o%1d   %d", k + 1, o.o_option[k]);
    std::fprintf(f, "        \"%s\"\n", o.o_value[k].c_str());
  }
  std::fprintf(f, "             -p    %d\n", o.p_option);
  std::fprintf(f, "             -r    %d        %u\n", o.r_option, seed);
  std::fprintf(f, "             -R    %d        %d\n", o.R_option, o.R_value);
  std::fprintf(f, "             -s    %d        %d\n", o.s_option, o.s_value);
  std::fprintf(f, "             -w    %d\n", o.w_option);
  std::fprintf(f, "             -Y    %d        %4.2f\n", o.Y_option, o.Y_value / 100.0);
  std::fprintf(f, "             -z    %d        %d\n", o.z_option, shown_z(run, o.z_value));

  std::fprintf(f, "%s", RULE);
  std::fprintf(f, "\n");
  std::fflush(f);
}

void check_dim(Run& run) {
  const Options& o = run.opt;
  // Summed wide: -H has no upper bound of its own.
  if (o.H_option && o.M_option && (long long)o.M_value + o.H_value > ANIM) {
    log_out(run, "\n[-M NUM]+[-G NUM] must be <= %d  \n", ANIM);
    stop(1);
  }
}

void write_block_names(Run& run, int nBlocks) {
  FILE* f = run.io.fp6;
  if (!run.opt.i_option[0] || !f) return;
  std::fprintf(f, "\n\n__________________________\n");
  std::fprintf(f, "Population\n");
  std::fprintf(f, "Number     Name\n");
  std::fprintf(f, "__________________________\n");
  const int n = nBlocks < BLOCK ? nBlocks : BLOCK;
  for (int i = 1; i <= n; ++i) std::fprintf(f, "%5d      %s\n", i, run.store.b_name[i - 1].c_str());
  std::fprintf(f, "__________________________\n\n");
}

}  // namespace tarvo
