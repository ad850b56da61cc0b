// tarvo: recapture estimation from multilocus genotypes.
// The chief header: build-time limits, the process-wide tables grouped in one
// run context, and the declarations of every procedure.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <vector>

// Build-time limits; each can be changed at configure time
// (cmake -DTARVO_STR=1000 ...) because the overflow messages ask for a rebuild.
#ifndef TARVO_NOL
#define TARVO_NOL 32
#endif
#ifndef TARVO_NOA
#define TARVO_NOA 80
#endif
#ifndef TARVO_ANIM
#define TARVO_ANIM 30000
#endif
#ifndef TARVO_BLOCK
#define TARVO_BLOCK 100
#endif
#ifndef TARVO_STR
#define TARVO_STR 400
#endif
#ifndef TARVO_SOL
#define TARVO_SOL 20
#endif
#ifndef TARVO_SOA
#define TARVO_SOA 20
#endif
#ifndef TARVO_PERM
#define TARVO_PERM 5000
#endif
#ifndef TARVO_PAIRS
#define TARVO_PAIRS 6000
#endif

namespace tarvo {

inline constexpr int NOL = TARVO_NOL;      // loci per sample
inline constexpr int NOA = TARVO_NOA;      // distinct alleles per locus
inline constexpr int ANIM = TARVO_ANIM;    // samples
inline constexpr int BLOCK = TARVO_BLOCK;  // populations
inline constexpr int STR = TARVO_STR;      // line buffer, terminator included
inline constexpr int SOL = TARVO_SOL;      // characters of a locus name
inline constexpr int SOA = TARVO_SOA;      // characters of a sample name
inline constexpr int PERM = TARVO_PERM;    // distinct missing-loci patterns
inline constexpr int PAIRS = TARVO_PAIRS;  // stored match pairs per bank
inline constexpr int LEVELS = 50;          // false-positive levels
inline constexpr int MAX_SETS = 1000;      // largest -n
inline constexpr int POPNAME = 79;         // characters of a population name
inline constexpr int NAMEBUF = 8192;       // program name and output name buffers

static_assert(NOL >= 1 && NOL <= 32, "a loci mask holds at most 32 loci");
static_assert(NOA >= 2 && NOA <= 255, "allele indices are kept in one byte");

inline constexpr const char* VERSION = "TARVO Version 2.00";
inline constexpr double FLOOR_LLR = -9999999.0;

// The one way a run ends early: the message has been written where the
// failure was met; main exits with the carried status.
struct Exit {
  int status;
};
[[noreturn]] void stop(int status);

// ---------------------------------------------------------------- options
struct Options {
  int b_option = 0, b_value = 1;
  int c_option = 0, c_value = 10;
  int d_option = 0;
  std::string d_value = "TARVO";
  int e_option = 0, e_value = 100;  // x 10000
  int E_option = 0, E_value = 100;  // x 10000
  int f_option = 0;
  int H_option = 0, H_value = 0;
  std::array<int, 2> i_option{};  // -1 and -2
  std::array<std::string, 2> i_value{};
  int j_option = 0;
  int k_option = 0;
  std::string k_value = "POP";
  int m_option = 0, m_value = 10;
  int M_option = 0, M_value = 0;
  int n_option = 0, n_value = 200;
  int p_option = 0;
  int r_option = 0, r_value = 0;
  int R_option = 0, R_value = 0;
  int s_option = 0, s_value = 100;
  int w_option = 0;
  int Y_option = 0, Y_value = 100;  // x 100
  int z_option = 0, z_value = 5;    // level index
  std::array<int, 9> o_option{};
  std::array<std::string, 9> o_value{};
};

// ---------------------------------------------------------------- genotype store
struct Sample {
  std::string name;
  uint32_t loci_mask = 0;
  int32_t block = 0;
};

struct Locus {
  std::string name;
  int32_t allele[NOA] = {};
  int32_t count[NOA] = {};
  int nallele = 0;
  int nmissing = 0;
  double freq[NOA] = {};
  double cumfreq[NOA] = {};
};

struct Store {
  std::vector<int32_t> animal_data = std::vector<int32_t>(size_t(ANIM) * 2 * NOL);
  std::vector<int32_t> animal_sim = std::vector<int32_t>(size_t(ANIM) * 2 * NOL);
  std::vector<Sample> rec = std::vector<Sample>(ANIM);
  std::vector<Locus> loc = std::vector<Locus>(NOL);
  std::vector<std::string> b_name = std::vector<std::string>(BLOCK);
  std::vector<int32_t> nBlock = std::vector<int32_t>(BLOCK + 1);

  int32_t* row(int simulated, int i) {
    return (simulated ? animal_sim.data() : animal_data.data()) + size_t(i) * 2 * NOL;
  }
  const int32_t* row(int simulated, int i) const {
    return (simulated ? animal_sim.data() : animal_data.data()) + size_t(i) * 2 * NOL;
  }
};

// ---------------------------------------------------------------- patterns
struct MissPattern {
  uint32_t mask = 0;
  int32_t count = 0;
  char tag = ' ';
};

struct Patterns {
  std::vector<MissPattern> perm = std::vector<MissPattern>(PERM);
  int used = 0;
};

// ---------------------------------------------------------------- matches
struct MatchPair {
  int32_t sample1 = 0;  // later sample i
  int32_t sample2 = 0;  // earlier sample j < i
  int32_t pop1 = 0;     // population of i, from 1
  int32_t pop2 = 0;     // population of j, from 1
  double llr = 0;
  uint32_t mask = 0;
};

struct SimBlockRow {
  int ia = 0;
  int ib = 0;
  double rhat = 0;
  int nround = 0;
};

using LevelTable = std::array<double, LEVELS>;
using LevelSums = std::array<LevelTable, 2>;  // row 0 sums, row 1 sums of squares

struct Estimates {
  // calibration
  LevelTable alphaCut{};
  LevelTable LLRcut{};
  LevelTable toplikes{};
  int is = 0;
  double top_floor_product = 0;  // products below this score at or below toplikes' last
  std::vector<double> toplike = std::vector<double>(size_t(MAX_SETS) * LEVELS);
  std::vector<double> tot = std::vector<double>(size_t(MAX_SETS) * LEVELS);
  // reference data per level
  LevelTable d_ngood{}, d_R{}, d_Ex{}, d_Rcor{}, d_pctR{};
  // simulation sums per level
  LevelSums ngood{}, R{}, Ex{}, Rcor{}, pctR{};
  LevelSums Rse{};
  // match pairs: bank 0 reference data, bank 1 current simulation run
  std::array<std::vector<MatchPair>, 2> mat_pairs{std::vector<MatchPair>(PAIRS),
                                                  std::vector<MatchPair>(PAIRS)};
  int mismatch_done = 0;  // the mismatch table is written once per process
  // recapture plan
  std::vector<SimBlockRow> simBlock;
  // per pair of populations tallies of the standard-error runs, [p * BLOCK + q]
  std::vector<int> count = std::vector<int>(size_t(BLOCK) * BLOCK);
  std::vector<double> sum_rlist = std::vector<double>(size_t(BLOCK) * BLOCK);
  std::vector<double> sum_A = std::vector<double>(size_t(BLOCK) * BLOCK);
  std::vector<double> sum_E12 = std::vector<double>(size_t(BLOCK) * BLOCK);
  std::vector<double> sum_N12 = std::vector<double>(size_t(BLOCK) * BLOCK);
  std::vector<std::array<double, 2>> sd_corR12 =
      std::vector<std::array<double, 2>>(size_t(BLOCK) * BLOCK);
};

// ---------------------------------------------------------------- random numbers
// MT19937 (Matsumoto and Nishimura) with its published initialisation and
// tempering: the outputs are exactly genrand_int32's (and std::mt19937's).
// The state is regenerated and tempered 624 words at a time, which makes a
// draw several times cheaper than std::mt19937; the pair scans draw four
// numbers per pair and locus.
struct Rng {
  static constexpr int N = 624;
  uint32_t mt[N];
  uint32_t tempered[N];
  int next = N;
  uint64_t calls = 0;  // outputs drawn since seeding, for tests
  Rng() { init_genrand(5489u); }
  void init_genrand(uint32_t seed);
  uint32_t genrand_int32() {
    ++calls;
    if (next >= N) regenerate();
    return tempered[next++];
  }
  double drand() { return genrand_int32() * (1.0 / 4294967296.0); }
  int randchoice() { return drand() >= 0.5 ? 1 : 0; }

 private:
  void regenerate();
};

// ---------------------------------------------------------------- fast scoring
// Per sample and locus of one store: allele indices into the locus table, the
// unordered genotype code and the match factor of the genotype, so that the
// pair loops need neither search nor log per locus.
struct ScoreTable {
  int nsamples = 0;
  double ea = 0, eb = 0;       // (1 - E)^2 and E(2 - E)
  std::vector<uint16_t> code;  // [s * NOL + k]
  std::vector<double> factor;  // [s * NOL + k]
  std::vector<uint8_t> idx;    // [(s * NOL + k) * 2 + slot]
  std::vector<uint8_t> bad;    // sample has an allele absent from the table
};

// ---------------------------------------------------------------- output files
struct Io {
  FILE* out = stdout;
  FILE* err = stderr;
  FILE* fp0 = nullptr;           // _loci.txt
  FILE* fp1 = nullptr;           // _freq.txt
  FILE* fp2 = nullptr;           // _miss.txt
  FILE* fp3 = nullptr;           // _stat.txt
  FILE* fp5 = nullptr;           // _pair.txt
  FILE* fp6 = nullptr;           // _pop.txt
  FILE* fp7 = nullptr;           // _log.txt
  FILE* fp8 = nullptr;           // temporary file
  std::time_t now_override = 0;  // tests fix the date lines when non-zero
};

// ---------------------------------------------------------------- run context
struct Run {
  Options opt;
  Store store;
  Patterns pat;
  Estimates est;
  Rng rng;
  Io io;
  std::array<ScoreTable, 2> scores;  // [0] animal_data, [1] animal_sim
  // driver state kept across convergence iterations
  int nloci = 0, anim = 0, iperm = 0, nBlocks = 0, totalPairs = 0, goodPairs = 0;
  double Etotal = 0;
};

// ---------------------------------------------------------------- io helpers
// Messages that go to the log and then to standard output (flushed).
void log_out(Run& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// Messages that go to standard output (flushed) and then to the log.
void out_log(Run& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void to_log(Run& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void to_out(Run& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void to_err(Run& run, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
std::string date_line(Run& run);  // asctime layout, ends in a newline
std::string temp_file_name(const Run& run);
// The level as numbered for the user.
int shown_z(const Run& run, int index);

// ---------------------------------------------------------------- run/
std::string program_name(const std::string& path);
bool program_name_fits(const std::string& path);
[[noreturn]] void refuse_long_program_path(Run& run);
int command_line(Run& run, int argc, char** argv, const std::string& progname);
int get_command_line(Run& run, const std::string& progname, const std::string& numeric_letters,
                     const std::string& string_letters, const std::string& flag_letters,
                     std::vector<std::string>& args);
[[noreturn]] void duplicate_option(Run& run, char letter, const std::string& progname);
int check_var(Run& run);
int check_arguments(Run& run, const std::string& progname);
int err_msg(Run& run, int model, const char* letter, int needed);
int tarvo_usage(Run& run, const std::string& progname);
void list_arguments(Run& run, int model, uint32_t seed, FILE* stream);
void check_dim(Run& run);
void write_block_names(Run& run, int nBlocks);
void open_files(Run& run, int model);
void close_files(Run& run, int model);
std::string elapsed_text(double seconds);
void finish_time(Run& run, std::clock_t start, const std::string& progname);
void stage_file_line(Run& run, int& stage, const char* text, int name_index, const char* out_end,
                     const char* out_lead = "");
int tarvo(Run& run, const std::string& progname, int model, uint32_t seed, int z, int iteration);
int run_main(Run& run, int argc, char** argv);

// ---------------------------------------------------------------- input/
bool read_line(FILE* fp, std::string& line, bool& too_long);
// Input files close themselves however the reading ends.
struct FileCloser {
  void operator()(FILE* fp) const { std::fclose(fp); }
};
using InputFile = std::unique_ptr<FILE, FileCloser>;
// Files saved on Windows end their lines in CR LF; the CR belongs to the line
// end, never to the last field or name.
void drop_carriage_return(std::string& line);
// A separator line closes population j and opens the next one: a population
// after the first that holds fewer than -m samples is dropped (its samples
// taken back off anim) and its index reused.  Returns the index opened.
int open_population(Run& run, int j, int& anim, std::vector<int>& pop_count);
int check_int(Run& run, const std::string& field, int line, int fieldno, const std::string& file);
double check_double(Run& run, const std::string& field, int line, int fieldno,
                    const std::string& file);
void tabtocsv(Run& run, std::string& line);
void csver(std::string& line);
void rem_blank(std::string& text);
void rem_string(std::string& text);
void rem_string_char(std::string& text, char c);
int has_char(const std::string& text, char c);
[[noreturn]] void fatal(Run& run, int code, const std::string& s1 = "", const std::string& s2 = "",
                        const std::string& s3 = "", const std::string& s4 = "", int i1 = 0,
                        int i2 = 0, int i3 = 0);
int which_data_format(Run& run);
void read_base_pairs(Run& run, int& nloci, int& anim, int& nBlocks, int max_samples);
void read_base_pairs_GENEPOP(Run& run, int& nloci, int& anim, int& nBlocks, int max_samples);
void store_loci_freq(Run& run, int nloci, int anim);
int read_allele_freq(Run& run);
int locusBinarySearch(Run& run, int locus, int low, int high, int allele);
double binsrch(Run& run, int locus, int allele);
void write_loci_freq(Run& run, int nloci, int anim, int model);
void print_loci_freq(Run& run, int nloci);
void print_genotype_data_GENEPOP(Run& run, int nloci, int anim, const std::string& file,
                                 int all_loci, int simulated);
void read_data(Run& run, int& nloci, int& anim, int& iperm, int& nBlocks, int& stage, int model);
void get_loci_combinations(Run& run, int nloci, int model, int& iperm, int& nBlocks, int& anim);
void get_reference_data(Run& run, int model, int nloci, int anim, int nBlocks, int stage);

// ---------------------------------------------------------------- match/
int bitperm(Run& run, uint32_t mask, int count, int reset, char tag);
void get_mbit2(Run& run, int n, int& npat);
void get_mbit(Run& run, int n, int nloci, int& npat, int y);
void get_mbit3(Run& run, int n, int& npat, int nsrc, const uint32_t* src);
void get_mbit4(Run& run, int n, int& npat, const uint32_t* src);
inline int locus_missing_bit(int k, uint32_t mask) {
  return (mask >> k) & 1u;
}
// The mask of loci 0 to nloci-1 (all 32 bits for 32 loci).
inline uint32_t all_loci_mask(int nloci) {
  return nloci >= 32 ? 0xffffffffu : ((1u << nloci) - 1u);
}
void bitout2(uint32_t mask, int nloci, FILE* stream);
void print_missing_loci(Run& run, int nloci, int npat, int nsamples, FILE* stream);
void show(Run& run, uint32_t mask);

// The running product of one pair's score.
struct LikeState {
  double like = 0, ea = 0, eb = 0;
};
double like_ind(LikeState& st, double E, double p1, double p2, int a1, int a2, int b1, int b2,
                int& first);
// Build the fast tables of one store (0 reference, 1 simulated) for samples 0..n-1.
void prepare_scores(Run& run, int simulated, int nsamples, int nloci);
double likelihood_ind(Run& run, int i, int j, int nloci, uint32_t mask);
double likelihood_inds(Run& run, int i, int j, int nloci, uint32_t mask);
double likelihood_ind2(Run& run, int model, int s, int t, int nloci, uint32_t mask);
double likelihood_inds2(Run& run, int model, int s, int t, int nloci, uint32_t mask);
// The products of factors of sample i against every sample j < i of a store
// without alleles absent from the table (the simulated store); entries for
// pairs that share no locus are meaningless.  Four pairs at a time, each
// product still taken in locus order.
void pair_products_row(const Run& run, int simulated, int i, int nloci, double* products);
double score_of_product(double like);
void likeme2(Run& run, int model, int i, int j, int nloci, int nsamples, uint32_t mask,
             int simulated, double& L, double& Lj, double& Li);
int compare(int a1, int a2, int b1, int b2);
void loci_missmatch(Run& run, int nloci, int i, int j, int& ncomp, int& nmis);
void allelic_dropout2(Run& run, int nloci, int i, int j, int& ndrop, int& nall, int& nmis);

// The level estimator: matches M and detectability count S at a level of V
// false positives among N samples.
struct LevelEstimate {
  double M, R, E, Rhat, pct;
};
LevelEstimate estimate_level(double M, double S, double N, double V);
void find_like_recap_data(Run& run, int model, int nloci, int nsamples, int nblocks, int flag,
                          int simulated, int& npairs, double& Ez);
void find_like_recap(Run& run, int model, int nloci, int nsamples, int nblocks, int runno,
                     int simulated, int& npairs, double& Ez);
void store_match_pairs(Run& run, int idx, int i, int j, int pi, int pj, double L, uint32_t mask,
                       int bank);
int inblock(Run& run, int n, int nblocks);
int binarySearch(const double* v, int lo, int hi, double x);
double LLR2alpha(const Run& run, double x);
int compare_LLR(const MatchPair& a, const MatchPair& b);
int compare_double(double a, double b);
int toplikelihood_inds(Run& run, int i, int j, int nloci, uint32_t mask, int n);
// Offers one score to the top list, as toplikelihood_inds does after scoring.
int toplikelihood_offer(Run& run, double L, int n);
// Offers a pair by its product of factors: products that surely give a score
// at or below the smallest held are counted without taking their log.
int toplikelihood_offer_product(Run& run, double like, int n);
void tarvo_pair_report(Run& run, int model, int nloci, int nsamples, int npairs, int iteration);

// ---------------------------------------------------------------- sim/
void sim_genotypes(Run& run, int model, int nloci, int nsamples, int R, int simulated);
void add_loci_errors(Run& run, int nloci, int names, int simulated, double rate, int nsamples,
                     int R);
void add_loci_errors_n(Run& run, int nloci, int names, int simulated, double rate, int s);
int sim_individual_match_genotypes(Run& run, int model, int nloci, int nsamples, int nrows,
                                   int spare, double expected);
void allocate_match(Run& run, int nloci, int dst, int src);

// ---------------------------------------------------------------- estimate/
void get_alphaCut(Run& run);
void get_LZones(Run& run, int model, int nloci, int nanim);
void get_recaps_from_data(Run& run, int model, int nloci, int nanim, int nBlocks, int& npairs,
                          int quiet);
double dataBlockRecaps(Run& run, int nloci, int nBlocks, int nanim, int goodPairs, double Etotal,
                       int& nrows, int model, int iteration);
double effectiveBlockSize(Run& run, int model, int nloci, int nanim, int p, int q, int set,
                          double& g);
void get_blist_rlist(Run& run, int n, std::vector<int>& blist, std::vector<int>& rlist, int& len,
                     int set);
double get_corrected_match(int pos, int a, int b, const std::vector<int>& rlist, double V,
                           double E12, double N12, double& R12);
int get_recaps_from_sim(Run& run, int model, int nloci, int nanim, int nBlocks, int nrows,
                        double total, int groups, int iteration);
void simBlockRecaps(Run& run, int model, int nloci, int nanim, int runno, int npairs, int nBlocks,
                    int nrows, double E);
double get_se(Run& run, int p, int q, int nrows, double sum, double sumsq, double& acc);
double std_dev(int s, double sum, double sumsq);
int z_done_before(const Run& run, int k);
int find_best_z(const Run& run);
void z_warning(Run& run, int y, int z);
void z_converge_note(Run& run, int k);
void z_converge_note2(Run& run, int k, FILE* stream);
int next_level(Run& run, int z, int b);
void tarvo_pop_report(Run& run, int nBlocks, int nrows);

// ---------------------------------------------------------------- group/
void clusterPairs(Run& run, int nloci, int anim, int n, int& ngroups, int mode);

}  // namespace tarvo
