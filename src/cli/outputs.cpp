// The output file set and its headers.
#include "cli/outputs.h"

#include <ctime>

#include "tarvo/limits.h"

namespace tarvo::cli {

std::string date_line() {
  const std::time_t now = std::time(nullptr);
  return std::asctime(std::localtime(&now));
}

report::Header header_now(const Options& options) {
  report::Header header{date_line(), {}};
  for (const Setting<std::string>* file : {&options.genotype_file, &options.frequency_file})
    if (file->given) header.inputs.push_back(file->value);
  return header;
}

void reopen(std::ofstream& file, const std::string& name, const std::string& shown_name,
            report::Console& console) {
  if (file.is_open()) file.close();
  file.open(name, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file) {
    console.err(report::format("open_files(): Cannot open <%s> for writing\n", shown_name.c_str()));
    throw Exit{255};
  }
}

namespace {

void open_with_header(std::ofstream& file, const std::string& name, const report::Header& header,
                      report::Console& console) {
  reopen(file, name, name, console);
  report::write_header(file, header, name);
}

}  // namespace

void open_outputs(OutputFiles& files, const Options& o, Model model, report::Console& console) {
  // One reading of the clock, so every header carries the same time.
  const report::Header header = header_now(o);
  if (counts_frequencies(model))
    reopen(files.loci, o.output(Output::Loci), o.output(Output::Loci), console);
  open_with_header(files.freq, o.output(Output::Freq), header, console);
  open_with_header(files.miss, o.output(Output::Miss), header, console);
  if (analyses(model)) open_with_header(files.stat, o.output(Output::Stat), header, console);
  open_with_header(files.pair, o.output(Output::Pair), header, console);
  if (number(model) >= 7 && o.recaptures.value == 0)
    files.pair << "\n\nNo recaptures simulated.\nIf you desire to simulate recaptures use option: "
                  "[-R NUM]\n";
  open_with_header(files.pop, o.output(Output::Pop), header, console);
  reopen(files.log, o.output(Output::Log), o.output(Output::Log), console);
  console.attach_log(&files.log);
  console.log_then_out(header.date + "\n");
  console.log_then_out(report::format("Executable file: %s\n\n", VERSION));
}

}  // namespace tarvo::cli
