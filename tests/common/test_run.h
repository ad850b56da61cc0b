// A run context for unit tests, with its streams captured in temporary files.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "tarvo.h"

namespace testutil {

inline std::string slurp(FILE* f) {
  std::string s;
  if (!f) return s;
  std::fflush(f);
  std::rewind(f);
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  return s;
}

struct TestRun {
  std::unique_ptr<tarvo::Run> ptr = std::make_unique<tarvo::Run>();
  tarvo::Run& r = *ptr;
  TestRun() {
    r.io.out = std::tmpfile();
    r.io.err = std::tmpfile();
    r.io.fp7 = std::tmpfile();
  }
  ~TestRun() {
    for (FILE* f : {r.io.out, r.io.err, r.io.fp7})
      if (f) std::fclose(f);
  }
  std::string out() { return slurp(r.io.out); }
  std::string err() { return slurp(r.io.err); }
  std::string log() { return slurp(r.io.fp7); }

  // One locus table entry per value, with the given frequencies.
  void set_locus(int k, std::initializer_list<std::pair<int, double>> alleles) {
    tarvo::Locus& L = r.store.loc[k];
    L.nallele = 0;
    double cum = 0;
    for (auto [value, freq] : alleles) {
      L.allele[L.nallele] = value;
      L.freq[L.nallele] = freq;
      cum += freq;
      L.cumfreq[L.nallele] = cum;
      L.nallele += 1;
    }
  }
  void set_genotype(int simulated, int s, int k, int a1, int a2) {
    int32_t* row = r.store.row(simulated, s);
    row[2 * k] = a1;
    row[2 * k + 1] = a2;
  }
};

// Runs f and returns the exit status it stopped with, or -1 when it returned.
template <typename F>
int exit_status(F&& f) {
  try {
    f();
  } catch (const tarvo::Exit& e) {
    return e.status;
  }
  return -1;
}

}  // namespace testutil
