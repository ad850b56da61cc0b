// The files the program writes for reading back: simulated reference data in
// GENEPOP layout, the allele frequency file and the composite genotypes of
// the clusters.
#include "formats/fields.h"
#include "tarvo/error.h"
#include "tarvo/formats.h"

namespace tarvo {

namespace {

using fields::format;

constexpr const char* kTitle = "GENEPOP data file created using TARVO simulation\n";

// "L1, L2, ..., Ln" without its newline.
std::string locus_list(int nloci) {
  std::string s;
  for (int k = 1; k < nloci; ++k) s += format("L%d, ", k);
  if (nloci >= 1) s += format("L%d", nloci);
  return s;
}

// A GENEPOP allele has three digits; a longer value would run into its
// partner and the file would read back as other alleles.
void check_widths(const GenotypeTable& table) {
  for (int i = 0; i < table.size(); ++i) {
    const std::int32_t* row = table.row(i);
    for (int k = 0; k < table.loci(); ++k) {
      if (!has_locus(table.sample(i).loci, k)) continue;
      for (int slot = 0; slot < 2; ++slot) {
        if (row[2 * k + slot] <= 999) continue;
        throw Error(ErrorCode::AlleleTooWide,
                    AlleleDetails{.allele = row[2 * k + slot], .locus = k});
      }
    }
  }
}

// Alleles above 999 keep all their digits: nothing is lost, and a reader
// expecting three digits per allele refuses the field rather than misread it.
std::string genotype_line(const std::int32_t* g, int nloci) {
  std::string s;
  for (int l = 0; l < nloci; ++l) s += format(" %03d%03d", g[2 * l], g[2 * l + 1]);
  s += '\n';
  return s;
}

}  // namespace

void write_genepop(std::ostream& out, const GenotypeTable& table, const std::string& separator) {
  check_widths(table);
  const int nloci = table.loci();
  out << kTitle << locus_list(nloci) << '\n';
  for (int i = 0; i < table.size(); ++i) {
    const Sample& s = table.sample(i);
    if (i == 0 || s.population != table.sample(i - 1).population) out << separator << '\n';
    std::string line = format("Rec%-5d,", i + 1);
    const std::int32_t* row = table.row(i);
    for (int k = 0; k < nloci; ++k)
      line += has_locus(s.loci, k) ? format(" %03d%03d", row[2 * k], row[2 * k + 1]) : " 000000";
    out << line << '\n';
  }
  out.flush();
}

void write_frequency_file(std::ostream& out, const FrequencyTable& freqs) {
  // The missing value is left out: the frequency line then adds up to one
  // and the file reads back as a frequency input.
  for (const LocusFrequencies& locus : freqs.loci) {
    std::string alleles = format("%-10s ", locus.name.c_str());
    std::string values = alleles;
    for (int j = 0; j < locus.size(); ++j) {
      if (locus.alleles[std::size_t(j)] == 0) continue;
      alleles += format("%7d ", locus.alleles[std::size_t(j)]);
      values += format("%7.5f ", locus.freqs[std::size_t(j)]);
    }
    out << alleles << '\n' << values << '\n';
  }
  out.flush();
}

void write_composite_file(std::ostream& out, const GenotypeTable& table, const Clusters& clusters,
                          const std::vector<std::int32_t>& composites,
                          const std::string& separator) {
  const int nloci = table.loci();
  out << kTitle;
  for (int l = 1; l < nloci; ++l) out << format("L%d, ", l);
  out << format("L%d\n", nloci) << separator << '\n';
  for (int g = 0; g < clusters.count(); ++g) {
    out << format("GP%-13d,", g + 1)
        << genotype_line(composites.data() + std::size_t(g) * std::size_t(2 * nloci), nloci);
  }
  std::vector<bool> clustered(std::size_t(table.size()), false);
  for (int s : clusters.samples) clustered[std::size_t(s)] = true;
  for (int s = 0; s < table.size(); ++s) {
    if (clustered[std::size_t(s)]) continue;
    out << format("%-15s,", table.sample(s).name.c_str()) << genotype_line(table.row(s), nloci);
  }
  out.flush();
}

}  // namespace tarvo
