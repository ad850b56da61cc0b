// Clusters of accepted matches: their numbering and listing order, and the
// composite genotype file built from them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tarvo.h"

using namespace tarvo;
namespace fs = std::filesystem;

namespace {

std::string slurp(FILE* f) {
  std::string text;
  std::fflush(f);
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  return text;
}

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::string LIST_HEAD = "\n\n" + std::string(96, '_') +
                              "\nClustered groups of pairwise matches\n" + std::string(96, '_') +
                              "\nGroup\n";

struct Cluster : ::testing::Test {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  fs::path dir;
  int npairs = 0;
  int nloci = 1;
  int anim = 8;

  void SetUp() override {
    static int serial = 0;
    dir = fs::temp_directory_path() /
          ("tarvo_clu_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
    fs::create_directories(dir);
    run->io.out = std::tmpfile();
    run->io.err = std::tmpfile();
    run->io.fp7 = std::tmpfile();
    run->io.fp5 = std::tmpfile();
    run->opt.o_value[6] = (dir / "T_join.txt").string();
    for (int i = 0; i < anim; ++i) run->store.rec[i].name = std::string(1, char('A' + i));
  }
  void TearDown() override {
    std::fclose(run->io.out);
    std::fclose(run->io.err);
    std::fclose(run->io.fp7);
    std::fclose(run->io.fp5);
    fs::remove_all(dir);
  }
  static int S(char c) { return c - 'A'; }
  void pairs(std::vector<std::pair<char, char>> list) {
    npairs = 0;
    for (auto [a, b] : list) run->est.mat_pairs[0][npairs++] = MatchPair{S(a), S(b), 1, 1, 9.0, 1u};
  }
  void genotype(char sample, std::vector<std::pair<int, int>> loci) {
    int32_t* g = run->store.row(0, S(sample));
    for (size_t l = 0; l < loci.size(); ++l) {
      g[2 * l] = loci[l].first;
      g[2 * l + 1] = loci[l].second;
    }
  }
  int group(int mode, int n = -1) {
    int ngroups = -1;
    clusterPairs(*run, nloci, anim, n < 0 ? npairs : n, ngroups, mode);
    return ngroups;
  }
  std::string listing() { return slurp(run->io.fp5); }
  std::string composite_file() { return read_file(dir / "T_join.txt"); }
};

// ---------------------------------------------------------------- clusters

TEST_F(Cluster, ChainOfPairsIsOneClusterListedDepthFirst) {
  pairs({{'A', 'B'}, {'C', 'D'}, {'B', 'C'}});
  EXPECT_EQ(group(1), 1);
  EXPECT_EQ(listing(), LIST_HEAD + "\nGP1     A B C D ");
}

TEST_F(Cluster, SeparatePairsAreSeparateClusters) {
  pairs({{'A', 'B'}, {'C', 'D'}});
  EXPECT_EQ(group(1), 2);
  EXPECT_EQ(listing(), LIST_HEAD + "\nGP1     A B \nGP2     C D ");
}

TEST_F(Cluster, NewMembersAreExploredBeforeTheScanResumes) {
  // Depth first: D, reached through B, comes before C.
  pairs({{'A', 'B'}, {'A', 'C'}, {'B', 'D'}});
  EXPECT_EQ(group(1), 1);
  EXPECT_EQ(listing(), LIST_HEAD + "\nGP1     A B D C ");
}

TEST_F(Cluster, LinksAreFollowedFromEitherSideOfAPair) {
  pairs({{'B', 'A'}, {'C', 'B'}, {'E', 'F'}, {'F', 'G'}});
  EXPECT_EQ(group(1), 2);
  EXPECT_EQ(listing(), LIST_HEAD + "\nGP1     B A C \nGP2     E F G ");
}

TEST_F(Cluster, GroupingOnlyCountsInModeZeroAndWorksOnACopy) {
  pairs({{'A', 'B'}, {'C', 'D'}, {'E', 'F'}});
  run->opt.j_option = 1;
  EXPECT_EQ(group(0), 3);
  EXPECT_EQ(listing(), "");
  EXPECT_FALSE(fs::exists(dir / "T_join.txt"));
  EXPECT_EQ(run->est.mat_pairs[1][2].sample1, S('E'));
  EXPECT_EQ(run->est.mat_pairs[1][2].sample2, S('F'));
}

TEST_F(Cluster, FewerThanTwoPairsAreNotGrouped) {
  pairs({{'A', 'B'}});
  run->opt.j_option = 1;
  EXPECT_EQ(group(1), 1);
  EXPECT_EQ(group(1, 0), 0);
  EXPECT_EQ(listing(), "");
  EXPECT_FALSE(fs::exists(dir / "T_join.txt"));
}

TEST_F(Cluster, LongChainNeedsNoDeepCallStack) {
  for (int i = 0; i < PAIRS; ++i) run->est.mat_pairs[0][i] = MatchPair{i + 1, i, 1, 1, 9.0, 1u};
  int ngroups = 0;
  clusterPairs(*run, 1, PAIRS + 1, PAIRS, ngroups, 0);
  EXPECT_EQ(ngroups, 1);
}

// ---------------------------------------------------------------- composite genotypes

TEST_F(Cluster, CompositeFileMergesMembersAndKeepsOthersAsThemselves) {
  nloci = 4;
  anim = 7;
  run->opt.j_option = 1;
  run->opt.k_value = "MyPop";
  // Cluster 1: A, B, C. Locus 1: the heterozygote wins; locus 2: nobody scored;
  // locus 3: the unscored first member takes the second's genotype; locus 4:
  // two heterozygotes, the first candidate (B for the pair A, B) wins.
  genotype('A', {{120, 120}, {0, 0}, {0, 0}, {150, 154}});
  genotype('B', {{120, 124}, {0, 0}, {130, 130}, {160, 164}});
  genotype('C', {{0, 0}, {0, 0}, {140, 140}, {150, 150}});
  // Cluster 2: D, E. Locus 1: the scored member fills the cell from the
  // reverse pair; locus 2: two homozygotes, the first member's genotype stays.
  genotype('D', {{120, 120}, {200, 200}, {0, 0}, {0, 0}});
  genotype('E', {{0, 0}, {210, 210}, {0, 0}, {0, 0}});
  // F and G are in no pair; F's allele above 999 keeps all its digits.
  genotype('F', {{1200, 34}, {5, 6}, {0, 0}, {7, 7}});
  genotype('G', {{101, 102}, {103, 104}, {105, 106}, {107, 108}});
  pairs({{'A', 'B'}, {'D', 'E'}, {'B', 'C'}});
  EXPECT_EQ(group(1), 2);
  EXPECT_EQ(composite_file(),
            "GENEPOP data file created using TARVO simulation\n"
            "L1, L2, L3, L4\n"
            "MyPop\n"
            "GP1            , 120124 000000 130130 160164\n"
            "GP2            , 120120 200200 000000 000000\n"
            "F              , 1200034 005006 000000 007007\n"
            "G              , 101102 103104 105106 107108\n");
}

TEST_F(Cluster, HeterozygousMemberReplacesAnEarlierHomozygousCell) {
  run->opt.j_option = 1;
  anim = 3;
  genotype('A', {{120, 120}});
  genotype('B', {{120, 120}});
  genotype('C', {{124, 120}});
  pairs({{'A', 'B'}, {'B', 'C'}});
  group(1);
  EXPECT_EQ(composite_file(),
            "GENEPOP data file created using TARVO simulation\nL1\nPOP\n"
            "GP1            , 124120\n");
}

TEST_F(Cluster, CompositeFileThatCannotBeOpened) {
  run->opt.j_option = 1;
  run->opt.o_value[6] = (dir / "missing" / "T_join.txt").string();
  pairs({{'A', 'B'}, {'B', 'C'}});
  int status = 0;
  try {
    group(1);
  } catch (const Exit& e) {
    status = e.status;
  }
  EXPECT_EQ(status, 255);
  const std::string msg = "write_composites: Cannot open output file " + run->opt.o_value[6] + "\n";
  EXPECT_EQ(slurp(run->io.fp7), msg);
  EXPECT_EQ(slurp(run->io.out), msg);
}

}  // namespace
