// The commands, their options and their arguments, defined once as one CLI11
// application: what the program parses, what its help prints, and what the
// man page and the bash completion are checked against. An option is one line
// here and one field of the values it fills.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace zanthrel::cli {

// The reading commands: several images, reported on in the order given.
struct ImageReportArgs {
  std::vector<std::string> images;
  bool json = false;
  unsigned jobs = 0;  // images read at once; 0 for one per processor
};

struct InfoArgs : ImageReportArgs {
  bool logText = false;
};

struct ListArgs : ImageReportArgs {
  TextEncoding names = TextEncoding::kCp1251;  // what the disc's names are read as
};

struct ConvertArgs {
  std::string image;
  std::string output;
  std::string format;
  bool quiet = false;
  bool force = false;
};

struct DiffArgs {
  std::string first;
  std::string second;
  bool json = false;
};

struct MountArgs {
  std::string image;
  std::string mountPoint;
  bool allCopies = false;
  bool foreground = false;
  bool nonEmpty = false;  // mount on a folder that holds something
  TextEncoding names = TextEncoding::kCp1251;
};

// What the parsed command line says, one record for each command.
struct CommandValues {
  DecompileArgs decompile;
  CompileArgs compile;
  InfoArgs info;
  ListArgs list;
  ImageReportArgs verify;
  ConvertArgs convert;
  DiffArgs diff;
  MountArgs mount;
  std::string helpTopic;  // the command that `help` is asked about, if any
};

// Names of the program and of the commands that are not jobs.
inline constexpr const char* kProgramName = "zanthrel";
inline constexpr const char* kHelpCommand = "help";
inline constexpr const char* kVersionCommand = "version";
inline constexpr const char* kMountCommand = "mount";

// The application whose parse fills `values`; `withMount` adds the mount
// command, which needs FUSE. `values` must outlive it.
std::unique_ptr<CLI::App> DefineCommands(CommandValues& values, bool withMount);

// The command of that name, or nullptr.
const CLI::App* FindCommand(const CLI::App& program, const std::string& name);

}  // namespace zanthrel::cli
