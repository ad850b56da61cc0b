// Clusters of accepted matches: their numbering and listing order, and the
// composite genotype file built from them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "common/estimate_helpers.h"

using namespace tarvo;
using namespace testutil;

namespace {

const std::string LIST_HEAD =
    "\n\n" + rule(96) + "Clustered groups of pairwise matches\n" + rule(96) + "Group\n";

const char* const GENEPOP_HEAD = "GENEPOP data file created using TARVO simulation\n";

struct Cluster : ::testing::Test {
  FileRun t;
  tarvo::Run& run = t.r;
  int npairs = 0, nloci = 1, anim = 8;

  Cluster() {
    run.io.fp5 = std::tmpfile();
    run.opt.o_value[6] = t.path("T_join.txt");
    for (int i = 0; i < anim; ++i) run.store.rec[i].name = std::string(1, char('A' + i));
  }
  static int S(char c) { return c - 'A'; }
  // Match pairs written as "AB CD ...".
  void pairs(const std::string& list) {
    npairs = 0;
    for (size_t k = 0; k + 1 < list.size(); k += 3)
      run.est.mat_pairs[0][npairs++] = MatchPair{S(list[k]), S(list[k + 1]), 1, 1, 9.0, 1u};
  }
  void genotype(char sample, std::vector<std::pair<int, int>> loci) {
    for (size_t l = 0; l < loci.size(); ++l)
      t.set_genotype(0, S(sample), int(l), loci[l].first, loci[l].second);
  }
  int group(int mode, int n = -1) {
    int ngroups = -1;
    clusterPairs(run, nloci, anim, n < 0 ? npairs : n, ngroups, mode);
    return ngroups;
  }
  std::string listing() { return slurp(run.io.fp5); }
  std::string composite_file() { return read_file(t.dir / "T_join.txt"); }
};

TEST_F(Cluster, NumberingAndDepthFirstListingOrder) {
  struct Case {
    const char* pairs;
    int ngroups;
    std::string groups;
  } cases[] = {
      {"AB CD BC", 1, "\nGP1     A B C D "},  // a chain
      {"AB CD", 2, "\nGP1     A B \nGP2     C D "},
      // New members are explored before the scan resumes: D, reached through B, before C.
      {"AB AC BD", 1, "\nGP1     A B D C "},
      // Links are followed from either side of a pair.
      {"BA CB EF FG", 2, "\nGP1     B A C \nGP2     E F G "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.groups);
    std::fclose(run.io.fp5);
    run.io.fp5 = std::tmpfile();
    pairs(c.pairs);
    EXPECT_EQ(group(1), c.ngroups);
    EXPECT_EQ(listing(), LIST_HEAD + c.groups);
  }
}

TEST_F(Cluster, CountingOnlyOrTooFewPairsWriteNothing) {
  run.opt.j_option = 1;
  pairs("AB CD EF");
  EXPECT_EQ(group(0), 3);  // mode 0 only counts, and on a copy of the pairs
  EXPECT_EQ(run.est.mat_pairs[1][2].sample1, S('E'));
  EXPECT_EQ(run.est.mat_pairs[1][2].sample2, S('F'));
  pairs("AB");  // fewer than two pairs are not grouped
  EXPECT_EQ(group(1), 1);
  EXPECT_EQ(group(1, 0), 0);
  EXPECT_EQ(listing(), "");
  EXPECT_FALSE(fs::exists(t.dir / "T_join.txt"));
}

TEST_F(Cluster, LongChainNeedsNoDeepCallStack) {
  for (int i = 0; i < PAIRS; ++i) run.est.mat_pairs[0][i] = MatchPair{i + 1, i, 1, 1, 9.0, 1u};
  int ngroups = 0;
  clusterPairs(run, 1, PAIRS + 1, PAIRS, ngroups, 0);
  EXPECT_EQ(ngroups, 1);
}

TEST_F(Cluster, CompositeFileMergesMembersAndKeepsOthersAsThemselves) {
  nloci = 4;
  anim = 7;
  run.opt.j_option = 1;
  run.opt.k_value = "MyPop";
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
  pairs("AB DE BC");
  EXPECT_EQ(group(1), 2);
  EXPECT_EQ(composite_file(), std::string(GENEPOP_HEAD) +
                                  "L1, L2, L3, L4\n"
                                  "MyPop\n"
                                  "GP1            , 120124 000000 130130 160164\n"
                                  "GP2            , 120120 200200 000000 000000\n"
                                  "F              , 1200034 005006 000000 007007\n"
                                  "G              , 101102 103104 105106 107108\n");
}

TEST_F(Cluster, HeterozygousMemberReplacesAnEarlierHomozygousCell) {
  run.opt.j_option = 1;
  anim = 3;
  genotype('A', {{120, 120}});
  genotype('B', {{120, 120}});
  genotype('C', {{124, 120}});
  pairs("AB BC");
  group(1);
  EXPECT_EQ(composite_file(), std::string(GENEPOP_HEAD) + "L1\nPOP\nGP1            , 124120\n");
}

TEST_F(Cluster, CompositeFileThatCannotBeOpened) {
  run.opt.j_option = 1;
  run.opt.o_value[6] = t.path("missing/T_join.txt");
  pairs("AB BC");
  EXPECT_EQ(exit_status([&] { group(1); }), 255);
  const std::string msg = "write_composites: Cannot open output file " + run.opt.o_value[6] + "\n";
  EXPECT_EQ(t.log(), msg);
  EXPECT_EQ(t.out(), msg);
  EXPECT_EQ(t.err(), "");
}

}  // namespace
