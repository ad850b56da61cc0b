#include "report/power_report.h"

#include <gtest/gtest.h>

#include "e2e/e2e_util.h"
#include "tarvo/formats.h"

namespace {

// Reads the GENEPOP file on its own and recomputes every column of the table
// (argv[2]) from the allele counts, PID as the sum over allele pairs.
constexpr const char* kCheck = R"(
import sys, math
nan, isnan = math.nan, math.isnan
lines = [l.strip() for l in open(sys.argv[1]) if l.strip()][1:]
loci, pops = lines[:[l.lower() for l in lines].index('pop')], []
for l in lines[len(loci):]:
    if l.lower() == 'pop': pops.append([])
    else: pops[-1].append([(g[:len(g)//2], g[len(g)//2:]) for g in l.split(',')[1].split()])
def panel(samples):
    rows = []
    for k in range(len(loci)):
        gs = [s[k] for s in samples if int(s[k][0]) and int(s[k][1])]
        copies, n = [a for g in gs for a in g], len(gs)
        p = [copies.count(a) / len(copies) for a in sorted(set(copies))]
        s2, s4 = sum(x ** 2 for x in p), sum(x ** 4 for x in p)
        pid = s4 + sum((2 * p[i] * p[j]) ** 2 for i in range(len(p)) for j in range(i))
        sib = 0.25 + 0.5 * s2 + 0.5 * s2 * s2 - 0.25 * s4
        rows.append([len(p), n] + ([sum(a != b for a, b in gs) / n, 1 - s2,
                     (1 - s2) * 2 * n / (2 * n - 1), pid, sib] if n else [nan] * 8))
    cp = cs = 1
    for r, k in enumerate(sorted([k for k in range(len(rows)) if rows[k][1]], key=lambda k: rows[k][6])):
        cp, cs = cp * rows[k][5], cs * rows[k][6]
        rows[k] += [r + 1, cp, cs]
    return rows
want = [r for ss in [sum(pops, [])] + pops for r in panel(ss)]
got = [[nan if x == 'NA' else float(x) for x in l.strip().split('\t')[4:]] for l in list(open(sys.argv[2]))[1:]]
assert len(got) == len(want), len(got)
for g, w in zip(got, want):
    assert g[:2] == w[:2] and all(math.isclose(a, b, rel_tol=1e-5) or isnan(a) and isnan(b)
                                  for a, b in zip(g, w)), (g, w)
print(len(want), 'rows agree')
)";

TEST(PowerReport, NancycatsAgreesWithIndependentComputation) {
  if (std::system("command -v python3 > /dev/null") != 0) GTEST_SKIP() << "no python3";
  const e2e::fs::path gen = e2e::source_path("tests/data/nancycats.gen"),
                      dir = e2e::scratch_dir("power");
  std::ifstream in(gen);
  tarvo::GenotypeReadSettings pop;
  pop.separator = "Pop";
  const tarvo::GenotypeTable t = tarvo::read_genepop(in, pop);
  std::vector<tarvo::PanelPower> panels{
      tarvo::panel_power(tarvo::count_frequencies(t), t, 0, t.size())};
  for (tarvo::PanelPower& p : tarvo::power_by_population(t)) panels.push_back(std::move(p));
  std::ostringstream tsv, block;
  tarvo::report::loci_power_tsv(tsv, panels);
  e2e::write_file(dir / "power.tsv", tsv.str());
  e2e::write_file(dir / "check.py", kCheck);
  const int status = std::system(("cd '" + dir.string() + "' && python3 check.py '" + gen.string() +
                                  "' power.tsv > out.txt 2>&1")
                                     .c_str());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(e2e::read_file(dir / "out.txt"), "162 rows agree\n");
  e2e::fs::remove_all(dir);

  tarvo::report::power_summary(block, panels, "X.tsv");
  for (const char* line : {"all samples              9          5 loci          7 loci",
                           "\n17                       9          6 loci     not reached"})
    EXPECT_NE(block.str().find(line), std::string::npos) << block.str();
}

}  // namespace
