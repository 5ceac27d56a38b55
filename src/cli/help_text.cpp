#include "cli/help_text.h"

#include <algorithm>
#include <sstream>
#include <utility>
#include <vector>

#include "cli/command_definitions.h"

namespace zanthrel::cli {

namespace {

constexpr size_t kLineWidth = 80;
constexpr size_t kWidestTerm = 24;  // a longer term gets its text on the next line

using Row = std::pair<std::string, std::string>;

// `text` broken between words into lines of `width` columns at most, each but
// the first indented by `indent` spaces.
std::string Wrapped(const std::string& text, size_t indent, size_t width) {
  std::istringstream words(text);
  std::string result, line, word;
  while (words >> word) {
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      result += line + "\n" + std::string(indent, ' ');
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return result + line;
}

// Rows of a term and its text, the texts in one column.
std::string Table(const std::vector<Row>& rows) {
  size_t termWidth = 0;
  for (const auto& [term, text] : rows) {
    if (term.size() <= kWidestTerm) termWidth = std::max(termWidth, term.size());
  }
  const size_t indent = 2 + termWidth + 2;
  std::string result;
  for (const auto& [term, text] : rows) {
    result += "  " + term;
    if (term.size() > termWidth) {
      result += "\n" + std::string(indent, ' ');
    } else {
      result += std::string(termWidth - term.size() + 2, ' ');
    }
    result += Wrapped(text, indent, kLineWidth - indent) + "\n";
  }
  return result;
}

std::string ExitStatuses() {
  return "Exit status:\n" +
         Table({{std::to_string(kExitDone), "done; for verify, no damage found"},
                {std::to_string(kExitFailed), "the run failed or finished with problems; for verify, damage found"},
                {std::to_string(kExitUsage), "bad usage, or an image that cannot be opened"},
                {std::to_string(kExitCancelled), "stopped by Ctrl-C"}});
}

std::vector<const CLI::Option*> Positionals(const CLI::App& command) {
  return command.get_options([](const CLI::Option* option) { return !option->nonpositional(); });
}

std::vector<const CLI::Option*> Options(const CLI::App& command) {
  return command.get_options([](const CLI::Option* option) { return option->nonpositional(); });
}

}  // namespace

bool TakesValue(const CLI::Option& option) { return option.get_items_expected_min() > 0; }

std::string OptionNames(const CLI::Option& option) {
  std::string names;
  for (const std::string& name : option.get_snames()) names += (names.empty() ? "-" : ", -") + name;
  for (const std::string& name : option.get_lnames()) names += (names.empty() ? "--" : ", --") + name;
  if (TakesValue(option)) names += " " + option.get_type_name();
  return names;
}

std::string UsageLine(const CLI::App& command) {
  std::string line = std::string(kProgramName) + " " + command.get_name();
  if (Options(command).size() > 1) line += " [OPTIONS]";  // more than the help flag
  for (const CLI::Option* positional : Positionals(command)) {
    // "IMAGE..." for an argument that may be given several times.
    const std::string name = positional->get_name() + (positional->get_items_expected_max() > 1 ? "..." : "");
    line += " " + (positional->get_required() ? name : "[" + name + "]");
  }
  return line;
}

std::string ProgramHelp(const CLI::App& program, const std::string& footer) {
  std::vector<Row> commands;
  for (const CLI::App* command : program.get_subcommands([](const CLI::App*) { return true; })) {
    commands.push_back({command->get_name(), command->get_description()});
  }
  std::vector<Row> options;
  for (const CLI::Option* option : Options(program)) {
    options.push_back({OptionNames(*option), option->get_description()});
  }
  std::string help = "Usage: " + std::string(kProgramName) + " COMMAND [OPTIONS] [ARGUMENTS]\n\n" +
                     program.get_description() + ".\n\nCommands:\n" + Table(commands) + "\nOptions:\n" +
                     Table(options) + "\n";
  if (!footer.empty()) help += Wrapped(footer, 0, kLineWidth) + "\n\n";
  return help + ExitStatuses();
}

std::string CommandHelp(const CLI::App& command) {
  std::string help = "Usage: " + UsageLine(command) + "\n\n" + Wrapped(command.get_description(), 0, kLineWidth) +
                     ".\n";
  std::vector<Row> arguments;
  for (const CLI::Option* positional : Positionals(command)) {
    arguments.push_back({positional->get_name(), positional->get_description()});
  }
  if (!arguments.empty()) help += "\nArguments:\n" + Table(arguments);
  std::vector<Row> options;
  for (const CLI::Option* option : Options(command)) {
    options.push_back({OptionNames(*option), option->get_description()});
  }
  help += "\nOptions:\n" + Table(options) + "\n";
  if (!command.get_footer().empty()) help += Wrapped(command.get_footer(), 0, kLineWidth) + "\n\n";
  return help + ExitStatuses();
}

}  // namespace zanthrel::cli
