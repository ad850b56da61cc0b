// The program around the analysis: the command line read, the outputs
// claimed, the analysis called with its progress told, the reports written
// and a failure anywhere said with what the run was doing.
#include "cli/driver.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>

#include "cli/help.h"
#include "cli/messages.h"
#include "cli/models.h"
#include "cli/options.h"
#include "cli/outputs.h"
#include "cli/progress.h"
#include "cli/reports.h"
#include "cli/run_lock.h"
#include "cli/screen.h"
#include "tarvo/tarvo.h"

namespace tarvo::cli {

namespace {

using report::format;
using Clock = std::chrono::steady_clock;

// What the program holds around the analysis: its streams and files.
struct Program {
  Program(std::ostream& out, std::ostream& err, bool on_terminal)
      : console(&out, &err), out_stream(out), terminal(on_terminal) {
    console.attach_log(&log.early());
  }
  report::Console console;
  OutputSet outputs;
  RunLog log;
  RunLock lock;
  Doing doing;
  MessageContext messages;           // what the messages take of the command line
  bool output_failure_told = false;  // standard output
  std::string command_line;          // as the shell would take it again
  std::uint32_t seed = 0;
  std::ostream& out_stream;
  bool terminal;
  std::unique_ptr<Screen> screen;  // none: every line to standard output
};

// A terminal's progress line, or the quiet output, once the options say.
void choose_screen(Program& program, const Options& o) {
  const ScreenMode mode = screen_mode(program.terminal, o.quiet);
  if (mode == ScreenMode::Lines) return;
  program.screen = std::make_unique<Screen>(program.out_stream, mode);
  program.console.redirect_out(&program.screen->stream());
}

struct CommandLine {
  Options options;
  Model model = Model::None;
};

std::string elapsed_text(double seconds) {
  int hours = 0, minutes = 0;
  if (seconds > 59.0) {
    minutes = static_cast<int>(seconds / 60);
    seconds -= 60.0 * minutes;
    if (minutes > 59) {
      hours = minutes / 60;
      minutes -= 60 * hours;
    }
  }
  const char* minute_format = minutes == 1 ? "%d minute " : "%d minutes ";
  std::string text = "Elapse time: ";
  if (hours) {
    text += format("%d hours ", hours) + format(minute_format, minutes);
  } else {
    if (minutes >= 1) text += format(minute_format, minutes);
    if (seconds > 0.0 || minutes >= 1) text += format(" %2.1f seconds\n", seconds);
  }
  return text + "\n";
}

// Wall-clock time: the processor time of several threads would overstate it.
std::string finish_text(const std::string& progname, Clock::time_point start) {
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return format("\n\n******Finished  %s ******\n", progname.c_str()) +
         "Finish time: " + date_line() + elapsed_text(seconds);
}

// The cores this process may run on.
int usable_cores() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  return std::clamp(CPU_COUNT(&set), 1, MAX_THREADS);
}

std::string program_name(const std::string& path) {
  // Only the backslash separates: names given with forward slashes stay whole.
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The command line without -t and its count: every output is the same for
// any number of threads, so the report page must not differ by it either.
// A value never begins with '-', so every such word before "--" is a
// cluster of letters, the one taking a value last.
std::vector<std::string> without_threads(const std::vector<std::string>& args) {
  std::vector<std::string> kept;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string word = args[i];
    options = options && word != "--";
    if (i > 0 && options && word.size() >= 2 && word[0] == '-' && word[1] != '-' &&
        word.back() == 't') {
      word.pop_back();
      if (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-') ++i;
      if (word == "-") continue;
    }
    kept.push_back(word);
  }
  return kept;
}

// The words quoted where the shell would split or expand them.
std::string shell_words(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& a : args) {
    if (!line.empty()) line += ' ';
    const bool plain = !a.empty() && a.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMN"
                                         "OPQRSTUVWXYZ0123456789-_./=:,+@%") == std::string::npos;
    if (plain) {
      line += a;
      continue;
    }
    line += '\'';
    for (const char c : a) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
    line += '\'';
  }
  return line;
}

// The command line into options and a model; none after the usage table.
std::optional<CommandLine> read_command_line(const std::vector<std::string>& args,
                                             const std::string& progname,
                                             report::Console& console) {
  CommandLine line{parse_options(args, progname, console), Model::None};
  line.model = select_model(line.options, console);
  if (line.model == Model::None || !check_values(line.options, progname, console)) {
    usage(progname, console);
    console.out("Please read full TARVO documentation (Options are case sensitive)\n");
    return std::nullopt;
  }
  complete_options(line.options, progname, console);
  return line;
}

// The files of the model, in the order they are listed: every name is known
// before the run starts.
void declare_outputs(const CommandLine& line, OutputSet& outputs) {
  const Options& o = line.options;
  const bool analysis = analyses(line.model);
  const std::pair<Output, bool> files[] = {
      {Output::Loci, counts_frequencies(line.model) && !o.frequency_file.given},
      {Output::Freq, true},
      {Output::Miss, true},
      {Output::Stat, analysis},
      {Output::Pair, true},
      {Output::Pop, true},
      {Output::Simm, !real_data(line.model)},
      {Output::Join, analysis && o.composites},
      {Output::Log, true},
  };
  for (const auto& [file, written] : files)
    if (written) outputs.declare(o.output(file));
  if (real_data(line.model)) outputs.declare(o.prefix.value + LOCI_POWER_SUFFIX);
  if (analysis)
    for (const char* suffix :
         {TABLE_FILES.pairs, TABLE_FILES.individuals, TABLE_FILES.levels, TABLE_FILES.populations,
          TABLE_FILES.plot, TABLE_FILES.groups, TABLE_FILES.summary, TABLE_FILES.page})
      outputs.declare(o.prefix.value + suffix);
}

// Nothing is written before the outputs are known to be writable, none is an
// input, and no other run holds the prefix.
void claim_outputs(const CommandLine& line, Program& program) {
  const Options& o = line.options;
  declare_outputs(line, program.outputs);
  std::vector<std::string> inputs;
  for (const Setting<std::string>* file : {&o.genotype_file, &o.frequency_file})
    if (file->given) inputs.push_back(file->value);
  std::vector<std::string> outputs = program.outputs.names();
  const std::string lock = o.prefix.value + ".lock";
  outputs.push_back(lock);
  check_outputs(outputs, inputs, program.console);
  program.lock.acquire(lock, program.console);
}

// The report headers, and the first lines of the log and standard output.
void start_outputs(const CommandLine& line, Program& program) {
  const Options& o = line.options;
  // One reading of the clock, so every header carries the same time.
  const report::Header header = header_now(o);
  for (Output file : {Output::Freq, Output::Miss, Output::Stat, Output::Pair, Output::Pop}) {
    const std::string& name = o.output(file);
    if (file != Output::Stat || analyses(line.model))
      report::write_header(program.outputs.text(name), header, name);
  }
  // The statistics say how they were drawn.
  if (o.fast && analyses(line.model))
    program.outputs.text(o.output(Output::Stat)) << format("\nDraws: %s\n", FAST_DRAWS);
  if (!analyses(line.model) && o.recaptures.value == 0)
    program.outputs.text(o.output(Output::Pair))
        << "\n\nNo recaptures simulated.\nIf you desire to simulate recaptures use option: "
           "[-R NUM]\n";
  program.console.log_then_out(header.date + "\n");
  program.console.log_then_out(format("Executable file: %s\n\n", VERSION));
}

// An input file opened for reading, named for the messages of its reader.
std::unique_ptr<std::istream> open_input(const std::string& file, Doing& doing, int& error) {
  doing.reading = file;
  errno = 0;
  auto in = std::make_unique<std::ifstream>(file, std::ios::in | std::ios::binary);
  error = errno;
  if (!*in) return nullptr;
  return in;
}

// The genotype file opened once, so that a pipe, a FIFO or a process
// substitution can be read: its layout detected, the text detection took
// kept to be read again.
GenotypeInput detect_layout(CommandLine& line, Program& program,
                            std::unique_ptr<std::istream>& stream) {
  Options& o = line.options;
  int error = 0;
  stream = open_input(o.genotype_file.value, program.doing, error);
  if (!stream) {
    program.console.out_and_err(
        format("which_data_format: Cannot open <%s> for reading\n", o.genotype_file.value.c_str()));
    program.console.out_and_err(open_failure_reason(error));
    throw Exit{1};
  }
  GenotypeInput input = detect_genotypes(*stream);
  o.own_format = input.format == GenotypeFormat::Own;
  o.genalex_format = input.format == GenotypeFormat::Genalex;
  program.doing.reading.clear();
  return input;
}

// The frequency file, opened when the analysis comes to it.
std::function<std::istream&()> frequency_opener(const Options& o, Program& program,
                                                std::unique_ptr<std::istream>& stream) {
  if (!o.frequency_file.given) return {};
  return [&o, &program, &stream]() -> std::istream& {
    const std::string& file = o.frequency_file.value;
    int error = 0;
    stream = open_input(file, program.doing, error);
    if (!stream) {
      program.console.log_out_and_err(
          format("read_allele_freq: Cannot open input file %s\n", file.c_str()));
      program.console.log_out_and_err(open_failure_reason(error));
      throw Exit{1};
    }
    return *stream;
  };
}

// Both files describe the same loci, or the frequencies would be matched to
// the wrong loci.
[[noreturn]] void loci_differ(const Options& o, const LociMismatch& m, report::Console& console) {
  const char* freq_file = o.frequency_file.value.c_str();
  const char* geno_file = o.genotype_file.value.c_str();
  const std::string lines[] = {
      format("There are %d number of loci read from FILE: \"%s\"  \n", m.frequency_loci, freq_file),
      format("This differs from %d number of loci read from FILE: \"%s\"  \n", m.genotype_loci,
             geno_file),
      "Please address this difference before running TARVO again.\n"};
  for (const std::string& s : lines) console.log(s);
  for (const std::string& s : lines) console.out_and_err(s);
  throw Exit{1};
}

// A standard output that cannot be written (a full device, a closed pipe)
// fails the run as any output does, once the reports are written; told once.
bool standard_output_failed(Program& program) {
  const int error = program.console.out_error();
  if (error == 0) return false;
  if (!program.output_failure_told) {
    const std::string text = format("Cannot write standard output: %s\n", std::strerror(error));
    program.console.err(text);
    program.console.log(text);
    program.output_failure_told = true;
  }
  return true;
}

// The reports are written, and renamed over those of any earlier run, only
// when the log is sound too.
void complete(const CommandLine& line, const AnalysisResult& result, const Progress& progress,
              Program& program, const std::string& progname, Clock::time_point start) {
  const Options& o = line.options;
  program.doing.what = "writing the reports";
  if (result.chosen >= 0) {
    const std::string note = search_outcome_note(o, result);
    program.outputs.text(o.output(Output::Stat)) << note;
    program.console.log_then_out(note);
    const LevelResult& level = result.levels.at(result.chosen);
    ChosenLevel chosen{o,
                       line.model,
                       result,
                       level,
                       progress.cells_text(level.level),
                       program.seed,
                       program.command_line};
    write_final_reports(chosen, program.outputs);
  }
  program.log.go_live(o.output(Output::Log), program.console);
  program.outputs.commit(o.output(Output::Log), program.log.running(), program.console,
                         [&program] { program.log.check(program.console); });
  if (result.chosen >= 0) program.console.log_then_out(finish_text(progname, start));
  program.console.log_then_out(summary(o, line.model, result, program.outputs.names()));
  if (standard_output_failed(program)) throw Exit{255};
  program.log.close(program.console);
}

int drive(Program& program, const std::vector<std::string>& args) {
  const Clock::time_point start = Clock::now();
  const std::string progname = program_name(args[0]);
  if (progname.size() >= std::size_t(NAME_BUFFER)) {
    program.console.err(format("tarvo: program path longer than %d characters\n", NAME_BUFFER - 1));
    return 1;
  }
  const InfoRequest info = info_request(args);
  if (info != InfoRequest::None) {
    program.console.out(info == InfoRequest::Help ? help_text(progname) : version_text());
    return 0;
  }
  std::optional<CommandLine> line = read_command_line(args, progname, program.console);
  if (!line) return 1;
  const Options& o = line->options;
  choose_screen(program, o);
  program.messages.separator = o.separator.value;
  program.messages.separator_given = o.separator.given;
  if (o.genotype_file.given && o.frequency_file.given) {
    program.messages.genotype_file = o.genotype_file.value;
    program.messages.frequency_file = o.frequency_file.value;
  }
  const auto seed = o.seed.given ? std::uint32_t(o.seed.value) : std::uint32_t(std::time(nullptr));
  program.seed = seed;
  program.command_line = shell_words(without_threads(args));
  const int threads = o.threads.given ? o.threads.value : usable_cores();
  program.doing.what = "checking the output files";
  claim_outputs(*line, program);
  start_outputs(*line, program);
  program.doing.what = "reading the input";
  std::unique_ptr<std::istream> genotypes, frequencies;
  AnalysisInput input;
  if (o.genotype_file.given) input.genotypes = detect_layout(*line, program, genotypes);
  input.frequencies = frequency_opener(o, program, frequencies);
  Progress progress(o, line->model, seed, program.console, program.outputs, &program.log,
                    program.doing);
  progress.show_on(program.screen.get());
  AnalysisResult result;
  try {
    result = analyse(input, analysis_settings(o, line->model, seed, threads), progress);
  } catch (const LociMismatch& mismatch) {
    loci_differ(o, mismatch, program.console);
  }
  complete(*line, result, progress, program, progname, start);
  return 0;
}

// What the run was doing, with the input file when it was reading one.
std::string stage_of(const Doing& doing) {
  if (doing.reading.empty()) return doing.what;
  return std::string(doing.what) + " <" + doing.reading + ">";
}

// Memory runs out on an input too large for the machine (or for the limit
// the run was given): said with the stage, as an input error. Telling it
// may itself need memory; what is left then is a fixed line.
int out_of_memory(Program& program) {
  try {
    const std::string text =
        format("Out of memory while %s: the input is too large for the memory this run may use\n",
               stage_of(program.doing).c_str());
    program.console.err(text);
    program.console.log(text);
  } catch (const std::exception&) {
    program.console.err("Out of memory\n");
  }
  return 1;
}

int internal_error(Program& program, const std::exception& e) {
  const std::string text =
      format("Internal error while %s: %s\n", stage_of(program.doing).c_str(), e.what());
  program.console.err(text);
  program.console.log(text);
  return 255;
}

MessageContext message_context(const Program& program) {
  MessageContext c = program.messages;
  c.file = program.doing.reading;
  c.frequencies = &program.doing.frequencies;
  return c;
}

}  // namespace

int run_program(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                bool copy_problems, bool terminal) {
  // The tables are large; keep them off the stack.
  auto program = std::make_unique<Program>(out, err, terminal);
  program->console.copy_problems(copy_problems);
  int status = 1;
  try {
    try {
      status = drive(*program, args);
    } catch (...) {
      // A message must not land on the end of the progress line.
      if (program->screen) program->screen->clear_status();
      throw;
    }
  } catch (const Exit& e) {
    status = e.status;
  } catch (const Error& e) {
    status = report_error(e, message_context(*program), program->console);
  } catch (const std::bad_alloc&) {
    status = out_of_memory(*program);
  } catch (const std::length_error&) {
    status = out_of_memory(*program);
  } catch (const std::exception& e) {
    status = internal_error(*program, e);
  }
  if (program->screen) program->screen->clear_status();
  out.flush();
  if (standard_output_failed(*program) && status == 0) status = 255;
  const Replaced replaced = program->outputs.replaced();
  if (status != 0) {
    program->log.mark_failed(status, replaced, program->console);
    // The log may not hold it: standard error says it too.
    if (replaced != Replaced::None) {
      const std::string line = failed_run_line(status, replaced);
      program->console.err(line.substr(line.find('*')));
    }
  }
  err.flush();
  return status;
}

}  // namespace tarvo::cli
