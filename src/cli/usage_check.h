// What is wrong with a command line that the commands do not take: a message
// that names the command, says what was expected and gives the line that
// would work. Messages come without the "zanthrel: " that PrintError adds.
#pragma once

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli/command_definitions.h"

namespace zanthrel::cli {

// After a parse that threw; `arguments` are the words after the program's name.
std::string DescribeParseError(const CLI::App& program, const CLI::ParseError& error,
                               const std::vector<std::string>& arguments);

// After a parse that went through: words left over, options that cannot go
// together, a source missing, or arguments whose kinds on disk say they were
// given the wrong way round. Nothing when the line is sound.
std::optional<std::string> CheckUsage(const CLI::App& program, const CommandValues& values,
                                      const std::vector<std::string>& arguments);

}  // namespace zanthrel::cli
