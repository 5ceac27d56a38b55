// The help a person reads: the program's (its commands, options and exit
// statuses) and each command's, written from the command definitions.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace zanthrel::cli {

// `footer`, when not empty, is a paragraph of its own before the exit statuses.
std::string ProgramHelp(const CLI::App& program, const std::string& footer);
std::string CommandHelp(const CLI::App& command);

// "zanthrel decompile [OPTIONS] IMAGE": the command, then its arguments.
std::string UsageLine(const CLI::App& command);

// Whether the option is followed by a value, as -o DIR is; a flag is not.
bool TakesValue(const CLI::Option& option);

// The option's names as typed, "-o, --output", with its value's name after.
std::string OptionNames(const CLI::Option& option);

}  // namespace zanthrel::cli
