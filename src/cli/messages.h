// The program's message for every library failure, written to the streams
// the library names, and the exit status that goes with it.
#pragma once

#include "report/report.h"
#include "tarvo/error.h"
#include "tarvo/messages.h"

namespace tarvo::cli {

using MessageContext = tarvo::MessageContext;

// Writes the message and returns the exit status.
[[nodiscard]] int report_error(const Error& error, const MessageContext& context,
                               report::Console& console);

}  // namespace tarvo::cli
