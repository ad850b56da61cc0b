// The one exit of the genotype readers for layout errors. Each code has its
// own advice; limits are printed as built so the advice to rebuild with a
// larger value names the value actually in force.
#include "tarvo.h"

namespace tarvo {

// Arguments by code (what the readers pass):
//   1  s1 separator text, i1 current population index
//   2  s1 file name
//   3  s1 file name, i1 line number
//   4  s1 line, i1 line number
//   6  s1 locus name, s2 line, i1 line number
//   8  s1 line, i1 line number
//   10 s1 first allele text, s2 line, i1 line number
//   12 s1 non-missing allele text, s2 sample name, s3 locus name, s4 line,
//      i1 line number
//   13 s1 sample name, s2 locus name, s3 line, i1 pairs on the line,
//      i2 loci in the header, i3 line number
//   14 s1 line, i1 samples read including the refused one
//   5, 7, 9, 11, 15 take nothing.
void fatal(Run& run, int code, const std::string& s1, const std::string& s2, const std::string& s3,
           const std::string& s4, int i1, int i2, int i3) {
  const std::string under35(35, '_');
  const std::string under87(87, '_');
  switch (code) {
    case 1:
      to_err(run,
             "\n          In '-1 FILE' must define population structure immediately after allele "
             "header line with loci names\n");
      to_err(run,
             "          It appears that population number %d has no samples. Is this correct?\n",
             i1);
      to_err(run,
             "          It appears that population separator <%s> was not read in data. Please "
             "check.\n",
             s1.c_str());
      if (run.opt.k_option)
        to_err(run,
               "          The population separator defined in command line using '-k' was <%s>. "
               "Is this correct?\n",
               s1.c_str());
      else
        to_err(run,
               "          Is the population separator POP used in your data. If not change using "
               "-k option.\n");
      to_err(run, "          \n\n [name_of_population] is optional.  Example run file: \n \n");
      to_err(run, " This first line is required and can contain a description of data contents\n");
      to_err(run, " Locus1, Locus2, Locus3 \n");
      to_err(run, " POP [name_of_population_1]\n");
      to_err(run, " Sample_1,      200203 301320 300303\n");
      to_err(run, " Sample_2,              ...\n");
      to_err(run, " .                      ...\n");
      to_err(run, " Sample_(n),            ...\n");
      to_err(run, " POP [name_of_population_2]\n");
      to_err(run, " Sample_(n+1),          ...\n");
      to_err(run, " Sample_(n+2),          ...\n\n");
      break;
    case 2:
      to_err(run, "read_base_pairs: Cannot open input file <%s>\n", s1.c_str());
      break;
    case 3:
      to_err(run,
             "Need to increase size of STR=%d and recompile to read to end of line in file %s\n",
             STR, s1.c_str());
      to_err(run, "Last line read was %d\n", i1);
      break;
    case 4:
      to_err(run, "If GENEPOP format used check if 'POP' is at beginning of third line.\n");
      to_err(run, "Else if TARVO format:\n");
      to_err(run, "  Loci names can only be read with %d characters. \n", SOL);
      to_err(run, "  Need to reduce length of locus name OR increase size of SOL and recompile\n");
      to_err(run, "  Last line read was: %d\n <%s>", i1, s1.c_str());
      to_err(run, "Else check that your data has the correct format (see TARVO manual).\n");
      break;
    case 5:
      to_err(run, "Need to increase size of NOL=%d to read more loci\n", NOL);
      break;
    case 6:
      to_err(run, "Read first allele but could not find second allele (%s)\n", s1.c_str());
      to_err(run, "Line number %d\nLast line read was:\n %s \n", i1, s2.c_str());
      break;
    case 7:
      to_err(run, "No loci pairs were read in first line\n");
      break;
    case 8:
      to_err(run, "Sample names can only be read with %d characters. \n", SOA);
      to_err(run, "Need to increase size of SOA and recompile OR reduce length of name\n");
      to_err(run, "Last line read was: %d\n <%s>", i1, s1.c_str());
      break;
    case 9:
      to_err(run, "Too many populations read in dataset\n");
      to_err(run, "Maximum populations in this compiled program is:  BLOCK=%d\n", BLOCK);
      to_err(run, "Need to increase BLOCK parameter in tarvo.h and recompile\n");
      break;
    case 10:
      to_err(run, "Read first allele number (%s) but could not find second allele number \n",
             s1.c_str());
      to_err(run, "Line number %d\nLast line read was:\n %s \n", i1, s2.c_str());
      break;
    case 11:
      to_err(run, "read_base_pairs: Need to increase size of NOL=%d to read more loci\n", NOL);
      break;
    case 12:
      to_err(run, "\n\n%s\nAllele pairs must both be missing\n%s\nNon-missing allele is:",
             under35.c_str(), under35.c_str());
      to_err(run, " <%s>\n", s1.c_str());
      to_err(run, "       Animal name is: %s\n", s2.c_str());
      to_err(run, "       Locus  name is: %s\n", s3.c_str());
      to_err(run, "       Line number is:%4d\n", i1);
      to_err(run, "       Line read is: %s\n", s4.c_str());
      break;
    case 13:
      to_err(run, "\n\n%s\n", under87.c_str());
      to_err(run,
             "Loci pairs (%d) in current line do not match in number with those in header file "
             "(%d)\n",
             i1, i2);
      to_err(run, "%s\n", under87.c_str());
      to_err(run, "       Animal name is: %s\n", s1.c_str());
      to_err(run, "       Locus  name is: %s\n", s2.c_str());
      to_err(run, "       Line number is:%4d\n", i3);
      to_err(run, "       Line read is: %s\n", s3.c_str());
      break;
    case 14:
      to_err(run,
             "read_base_pairs: Need to increase size of ANIM=%d to read more genotype records\n",
             ANIM);
      to_err(run, "   Last line read was : %s", s1.c_str());
      to_err(run, "   Samples read so far: %d", i1);
      break;
    case 15:
      to_err(run,
             "\n          Make sure data is in TARVO format or use '-f' option to define GENEPOP "
             "data format \n\n");
      break;
    default:
      break;
  }
  if (run.io.err) std::fflush(run.io.err);
  stop(1);
}

}  // namespace tarvo
