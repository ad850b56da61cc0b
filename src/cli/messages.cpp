// A library failure as the program reports it: every line to its stream, in
// order, and the lines of standard output copied to standard error; each one
// ends the run with status 1.
#include "cli/messages.h"

namespace tarvo::cli {

int report_error(const Error& error, const MessageContext& context, report::Console& console) {
  for (const MessageLine& line : describe(error, context)) {
    switch (line.stream) {
      case MessageStream::StandardError:
        console.err(line.text);
        break;
      case MessageStream::Log:
        console.log(line.text);
        break;
      case MessageStream::StandardOutput:
        console.out_and_err(line.text);
        break;
    }
  }
  return 1;
}

}  // namespace tarvo::cli
