// The answers to --help and --version.
#pragma once

#include <span>
#include <string>

namespace tarvo::cli {

enum class InfoRequest { None, Help, Version };

// -h, --help or --version among the options (before any "--").
[[nodiscard]] InfoRequest info_request(std::span<const std::string> args);

[[nodiscard]] std::string help_text(const std::string& progname);
[[nodiscard]] std::string version_text();

}  // namespace tarvo::cli
