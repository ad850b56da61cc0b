// With a longer line buffer the cattle data in the program's own layout (its
// header line is longer than the default buffer holds) reads exactly like the
// same data in GENEPOP format.
#include <gtest/gtest.h>

#include <memory>

#include "tarvo.h"

namespace {

struct Loaded {
  std::unique_ptr<tarvo::Run> run = std::make_unique<tarvo::Run>();
  int nloci = 0, anim = 0, nBlocks = 0, npat = 0;
};

std::unique_ptr<Loaded> load(const std::string& file, bool genepop) {
  auto l = std::make_unique<Loaded>();
  tarvo::Run& r = *l->run;
  r.io.out = std::tmpfile();
  r.io.err = std::tmpfile();
  r.opt.i_option[0] = 1;
  r.opt.i_value[0] = std::string(TARVO_SOURCE_DIR) + "/tests/data/" + file;
  EXPECT_EQ(tarvo::which_data_format(r), genepop ? 0 : 1);
  if (genepop)
    tarvo::read_base_pairs_GENEPOP(r, l->nloci, l->anim, l->nBlocks, tarvo::ANIM);
  else
    tarvo::read_base_pairs(r, l->nloci, l->anim, l->nBlocks, tarvo::ANIM);
  tarvo::store_loci_freq(r, l->nloci, l->anim);
  tarvo::get_mbit2(r, l->anim, l->npat);
  return l;
}

TEST(WideLines, OwnFormatCattleReadsLikeGenepopCattle) {
  ASSERT_GE(tarvo::STR, 1000);
  auto csv = load("microbov.csv", false);
  auto gen = load("microbov.gen", true);
  EXPECT_EQ(csv->anim, 704);
  EXPECT_EQ(csv->nloci, 30);
  EXPECT_EQ(csv->nBlocks, 15);
  ASSERT_EQ(csv->anim, gen->anim);
  ASSERT_EQ(csv->nloci, gen->nloci);
  EXPECT_EQ(csv->nBlocks, gen->nBlocks);
  for (int k = 0; k < csv->nloci; ++k) {
    const tarvo::Locus& a = csv->run->store.loc[k];
    const tarvo::Locus& b = gen->run->store.loc[k];
    SCOPED_TRACE(a.name);
    EXPECT_EQ(a.name, b.name);
    ASSERT_EQ(a.nallele, b.nallele);
    EXPECT_EQ(a.nmissing, b.nmissing);
    for (int m = 0; m < a.nallele; ++m) {
      EXPECT_EQ(a.allele[m], b.allele[m]);
      EXPECT_EQ(a.count[m], b.count[m]);
      EXPECT_EQ(a.freq[m], b.freq[m]);
      EXPECT_EQ(a.cumfreq[m], b.cumfreq[m]);
    }
  }
  ASSERT_EQ(csv->npat, gen->npat);
  for (int p = 0; p < csv->npat; ++p) {
    EXPECT_EQ(csv->run->pat.perm[p].mask, gen->run->pat.perm[p].mask);
    EXPECT_EQ(csv->run->pat.perm[p].count, gen->run->pat.perm[p].count);
  }
  for (int i = 0; i < csv->anim; ++i) {
    EXPECT_EQ(csv->run->store.rec[i].name, gen->run->store.rec[i].name);
    EXPECT_EQ(csv->run->store.rec[i].block, gen->run->store.rec[i].block);
  }
}

}  // namespace
