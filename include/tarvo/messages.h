// The words of every library failure. The library never writes them: each
// line carries the stream it belongs to, and the caller writes the lines in
// the order given (the command line's log and standard output interleave).
#pragma once

#include <string>
#include <vector>

#include "tarvo/error.h"
#include "tarvo/frequencies.h"

namespace tarvo {

enum class MessageStream { StandardError, Log, StandardOutput };

struct MessageLine {
  MessageStream stream = MessageStream::StandardError;
  std::string text;
};

// What a message needs beyond the failure's own details.
struct MessageContext {
  std::string file;  // the file being read when a reader failed
  std::string separator = "POP";
  bool separator_given = false;
  std::string genotype_file;  // set when both input files were given
  std::string frequency_file;
  const FrequencyTable* frequencies = nullptr;  // the table an unknown allele was looked up in
};

// The message of the failure, line by line. Every code has one; a value
// outside the codes gets a line that names it.
[[nodiscard]] std::vector<MessageLine> describe(const Error& error,
                                                const MessageContext& context = {});

}  // namespace tarvo
