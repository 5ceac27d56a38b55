#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_definitions.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/help_text.h"
#include "cli/image_batch.h"
#include "cli/usage_check.h"
#include "support/host.h"
#ifdef ZANTHREL_WITH_WINDOW
#include "cli/open_window.h"
#endif

namespace zanthrel::cli {

namespace {

#ifdef ZANTHREL_WITH_MOUNT
constexpr bool kWithMount = true;
#else
constexpr bool kWithMount = false;
#endif

// What the program help says of this build beside the commands.
std::string BuildNote() {
  std::string note;
#ifdef ZANTHREL_WITH_WINDOW
  note += "Without arguments, zanthrel opens its window. ";
#endif
  if (!kWithMount) note += "mount: absent from this build; it needs Linux and libfuse3.";
  return note;
}

int PrintHelp(const CLI::App& program, const CLI::App* command) {
  std::cout << (command ? CommandHelp(*command) : ProgramHelp(program, BuildNote())) << std::flush;
  return kExitDone;
}

int PrintVersion() {
  std::cout << kProgramName << " " << ZANTHREL_VERSION << std::endl;
  return kExitDone;
}

// -j as given, or one image for each processor.
unsigned JobsOf(const ImageReportArgs& args) { return args.jobs == 0 ? DefaultJobs() : args.jobs; }

int RunCommand(const CLI::App& program, const CommandValues& values) {
  const std::vector<CLI::App*> selected = program.get_subcommands();
  if (selected.empty()) return PrintHelp(program, nullptr);
  const std::string& name = selected.front()->get_name();
  if (name == "decompile") return RunDecompile(values.decompile);
  if (name == "compile") {
    UniqueIdGenerator ids;
    return RunCompile(values.compile, ids);
  }
  if (name == "info") {
    return RunInfo(values.info.images,
                   values.info.json      ? InfoFormat::kJson
                   : values.info.logText ? InfoFormat::kLogText
                                         : InfoFormat::kEnglish,
                   JobsOf(values.info));
  }
  if (name == "list") return RunList(values.list.images, values.list.json, values.list.names, JobsOf(values.list));
  if (name == "convert") {
    return RunConvert(values.convert.image, values.convert.output, values.convert.format, values.convert.quiet,
                      values.convert.force);
  }
  if (name == "drives") return RunDrives();
  if (name == "verify") return RunVerify(values.verify.images, values.verify.json, JobsOf(values.verify));
  if (name == "diff") return RunDiff(values.diff.first, values.diff.second, values.diff.json);
#ifdef ZANTHREL_WITH_MOUNT
  if (name == kMountCommand) {
    const MountArgs& mount = values.mount;
    return RunMount({mount.image, mount.mountPoint, mount.allCopies, mount.foreground, mount.names}, mount.nonEmpty);
  }
#endif
  if (name == kVersionCommand) return PrintVersion();
  return PrintHelp(program, values.helpTopic.empty() ? nullptr : FindCommand(program, values.helpTopic));
}

#ifdef ZANTHREL_WITH_WINDOW
// `zanthrel IMAGE`, as a file manager runs it: one word that is no command
// or option but names an existing file opens the window on it.
bool NamesImageToOpen(CLI::App& program, const std::string& word) {
  if (word.empty() || word.front() == '-') return false;
  for (const CLI::App* command : program.get_subcommands([](const CLI::App*) { return true; })) {
    if (command->check_name(word)) return false;
  }
  const Result<PathInfo> info = SystemHost().InfoOf(word);
  return info && info->kind == PathKind::kFile;
}
#endif

}  // namespace

int RunCommandLine(int argc, char** argv) {
  CommandValues values;
  const std::unique_ptr<CLI::App> program = DefineCommands(values, kWithMount);
#ifdef ZANTHREL_WITH_WINDOW
  if (argc == 1 || (argc == 2 && NamesImageToOpen(*program, argv[1]))) {
    if (const std::optional<int> status = OpenWindow(argc, argv)) return *status;
  }
#endif
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  try {
    program->parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    const std::vector<CLI::App*> selected = program->get_subcommands();
    return PrintHelp(*program, selected.empty() ? nullptr : selected.front());
  } catch (const CLI::CallForVersion&) {
    return PrintVersion();
  } catch (const CLI::ParseError& error) {
    PrintError(DescribeParseError(*program, error, arguments));
    return kExitUsage;
  }
  if (const std::optional<std::string> problem = CheckUsage(*program, values, arguments)) {
    PrintError(*problem);
    return kExitUsage;
  }
  return RunCommand(*program, values);
}

}  // namespace zanthrel::cli

#ifndef _WIN32
int main(int argc, char** argv) { return zanthrel::cli::RunCommandLine(argc, argv); }
#endif
