#include "cli/usage_check.h"

#include <algorithm>
#include <cctype>
#include <numeric>
#include <string_view>

#include "cli/help_text.h"
#include "support/host.h"

namespace zanthrel::cli {

namespace {

using Words = std::vector<std::string>;

// A word as a shell takes it back: quoted when it holds anything but the
// characters of plain names and paths.
std::string ShellWord(const std::string& word) {
  const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](unsigned char c) {
    return std::isalnum(c) || c >= 0x80 || std::string_view("._/+:=,@%-").find(char(c)) != std::string_view::npos;
  });
  if (plain) return word;
#ifdef _WIN32
  return "\"" + word + "\"";
#else
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

std::string Typed(const Words& arguments) {
  std::string line = kProgramName;
  for (const std::string& word : arguments) line += " " + ShellWord(word);
  return line;
}

std::string Quoted(const std::string& word) { return "'" + word + "'"; }

// Where `word` stands among the arguments, from `from` on; the end when absent.
size_t Find(const Words& arguments, const std::string& word, size_t from = 0) {
  const auto found = std::find(arguments.begin() + std::min(from, arguments.size()), arguments.end(), word);
  return size_t(found - arguments.begin());
}

Words Without(Words arguments, size_t index) {
  if (index < arguments.size()) arguments.erase(arguments.begin() + ptrdiff_t(index));
  return arguments;
}

Words With(Words arguments, std::initializer_list<std::string> tail) {
  arguments.insert(arguments.end(), tail);
  return arguments;
}

size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), size_t(0));
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// The name that `word` was most likely a slip for: one or two letters off, or
// the start of it.
std::optional<std::string> Closest(const std::string& word, const Words& names) {
  std::optional<std::string> best;
  // A short option is one letter from every other.
  if (word.size() <= 2) return best;
  size_t bestDistance = std::max<size_t>(1, std::min<size_t>(2, word.size() / 3)) + 1;
  for (const std::string& name : names) {
    const size_t distance = name.starts_with(word) && word.size() >= 3 ? 0 : EditDistance(word, name);
    if (distance < bestDistance) {
      best = name;
      bestDistance = distance;
    }
  }
  return best;
}

std::vector<const CLI::App*> Commands(const CLI::App& program) {
  return program.get_subcommands([](const CLI::App*) { return true; });
}

Words CommandNames(const CLI::App& program) {
  Words names;
  for (const CLI::App* command : Commands(program)) names.push_back(command->get_name());
  return names;
}

std::string Joined(const Words& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

std::string UnknownCommand(const CLI::App& program, const std::string& word) {
  return "unknown command " + Quoted(word) + "; the commands are " + Joined(CommandNames(program)) +
         " (zanthrel help describes them)";
}

const CLI::App* Selected(const CLI::App& program) {
  const std::vector<CLI::App*> selected = program.get_subcommands();
  return selected.empty() ? nullptr : selected.front();
}

Words OptionWords(const CLI::App& command) {
  Words words;
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& name : option->get_snames()) words.push_back("-" + name);
    for (const std::string& name : option->get_lnames()) words.push_back("--" + name);
  }
  return words;
}

// The option that `word` names, "--output=DIR" included.
const CLI::Option* OptionNamed(const CLI::App& command, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  for (const CLI::Option* option : command.get_options()) {
    for (const std::string& shortName : option->get_snames()) {
      if (name == "-" + shortName) return option;
    }
    for (const std::string& longName : option->get_lnames()) {
      if (name == "--" + longName) return option;
    }
  }
  return nullptr;
}

std::optional<PathKind> KindOnDisk(const std::string& path) {
  const Result<PathInfo> info = SystemHost().InfoOf(path);
  if (!info) return std::nullopt;
  return info->kind;
}

bool IsFolder(const std::string& path) { return KindOnDisk(path) == PathKind::kFolder; }
bool IsOtherThanFolder(const std::string& path) {
  const std::optional<PathKind> kind = KindOnDisk(path);
  return kind && *kind != PathKind::kFolder;
}

// The same line with the two words in each other's places.
Words Swapped(Words arguments, size_t commandAt, const std::string& first, const std::string& second) {
  const size_t a = Find(arguments, first, commandAt + 1);
  const size_t b = Find(arguments, second, a + 1);
  if (b < arguments.size()) std::swap(arguments[a], arguments[b]);
  return arguments;
}

// An option given before the command, or with none.
std::string DescribeOptionBeforeCommand(const CLI::App& program, const CLI::App* command, const std::string& word,
                                        const Words& arguments) {
  if (!command) {
    Words owners;
    for (const CLI::App* candidate : Commands(program)) {
      if (OptionNamed(*candidate, word)) owners.push_back(candidate->get_name());
    }
    if (owners.size() == 1) {
      Words fixed = arguments;
      fixed.insert(fixed.begin(), owners.front());
      return "a command is missing; " + Quoted(word) + " is an option of " + owners.front() + ": " + Typed(fixed);
    }
    if (!owners.empty()) {
      return "a command is missing; " + Quoted(word) + " is an option of " + Joined(owners) +
             ", given after the command (zanthrel help describes them)";
    }
  }
  const CLI::Option* option = command ? OptionNamed(*command, word) : nullptr;
  if (!option) {
    const std::optional<std::string> meant = Closest(word, OptionWords(program));
    return "unknown option " + Quoted(word) +
           (meant ? "; did you mean " + Quoted(*meant) + "?" : "; zanthrel help lists the commands and options");
  }
  // The option, and its value when it takes one, moved after the command.
  Words moved = arguments;
  const size_t at = Find(moved, word);
  const size_t count = TakesValue(*option) && word.find('=') == std::string::npos ? 2 : 1;
  const Words taken(moved.begin() + ptrdiff_t(at), moved.begin() + ptrdiff_t(std::min(at + count, moved.size())));
  moved.erase(moved.begin() + ptrdiff_t(at), moved.begin() + ptrdiff_t(at + taken.size()));
  const size_t commandAt = Find(moved, command->get_name());
  moved.insert(moved.begin() + ptrdiff_t(std::min(commandAt + 1, moved.size())), taken.begin(), taken.end());
  return "option " + Quoted(word) + " comes before the command; options follow it: " + Typed(moved);
}

// A word where the command should be: a slip of a command's name, or a path
// whose kind tells which command was meant.
std::string DescribeWordInPlaceOfCommand(const CLI::App& program, const std::string& word, const Words& arguments) {
  if (word == kMountCommand) return "mount: absent from this build; it needs Linux and libfuse3";
  const size_t at = Find(arguments, word);
  if (const std::optional<std::string> meant = Closest(word, CommandNames(program))) {
    Words fixed = arguments;
    fixed[at] = *meant;
    return "unknown command " + Quoted(word) + "; did you mean: " + Typed(fixed);
  }
  if (IsFolder(word)) {
    return Quoted(word) + " is not a command; to compile the folder: " + Typed(With({"compile"}, {word, "IMAGE"}));
  }
  if (IsOtherThanFolder(word)) {
    Words fixed(arguments.begin() + ptrdiff_t(at), arguments.end());
    fixed.insert(fixed.begin(), "decompile");
    return Quoted(word) + " is not a command; to decompile the image: " + Typed(fixed);
  }
  return UnknownCommand(program, word);
}

// Words before the command, or in place of one.
std::string DescribeWordsBeforeCommand(const CLI::App& program, const CLI::App* command, const Words& left,
                                       const Words& arguments) {
  const std::string& word = left.front();
  if (word.starts_with("-") && word.size() > 1) return DescribeOptionBeforeCommand(program, command, word, arguments);
  if (!command) return DescribeWordInPlaceOfCommand(program, word, arguments);
  Words fixed = Without(arguments, Find(arguments, command->get_name()));
  fixed.insert(fixed.begin(), command->get_name());
  return "unexpected argument " + Quoted(word) + " before the command; the command comes first: " + Typed(fixed);
}

// Words that the command does not take.
std::string DescribeWordsLeftOver(const CLI::App& command, const CommandValues& values, const Words& left,
                                  const Words& arguments) {
  const std::string& word = left.front();
  const std::string& name = command.get_name();
  if (word.starts_with("-") && word.size() > 1) {
    const std::optional<std::string> meant = Closest(word.substr(0, word.find('=')), OptionWords(command));
    return name + ": unknown option " + Quoted(word) +
           (meant ? "; did you mean " + Quoted(*meant) + "?"
                  : "; zanthrel help " + name + " lists its options");
  }
  if (name == "decompile" && values.decompile.drive.empty() && command.count("-o") == 0) {
    return name + ": unexpected argument " + Quoted(word) + "; the output folder is given with -o: " +
           Typed(With(Without(arguments, Find(arguments, word, Find(arguments, name) + 1)), {"-o", word}));
  }
  std::string takes;
  for (const CLI::Option* option : command.get_options()) {
    if (!option->nonpositional()) takes += (takes.empty() ? "" : " ") + option->get_name();
  }
  return name + ": unexpected argument " + Quoted(word) + "; " + name + " takes " +
         (takes.empty() ? "no arguments" : takes) + ": " + UsageLine(command);
}

std::optional<std::string> CheckDecompile(const CLI::App& command, const DecompileArgs& args,
                                          const Words& arguments) {
  const std::string driveLine = std::string(kProgramName) + " decompile --drive DEVICE -o DIR";
  if (args.image.empty() && args.drive.empty()) {
    return "decompile: IMAGE is missing: " + std::string(kProgramName) + " decompile [OPTIONS] IMAGE, or from a drive: " + driveLine;
  }
  if (!args.image.empty() && !args.drive.empty()) {
    return "decompile: IMAGE and --drive cannot both be given, the disc is read from one of them: " +
           std::string(kProgramName) + " decompile [OPTIONS] IMAGE, or " + driveLine;
  }
  if (!args.drive.empty() && command.count("-o") == 0) {
    return "decompile: --drive needs -o DIR, the folder to write into: " + Typed(With(arguments, {"-o", "DIR"}));
  }
  return std::nullopt;
}

std::optional<std::string> CheckArgumentKinds(const CommandValues& values, const std::string& name,
                                              const Words& arguments) {
  const size_t commandAt = Find(arguments, name);
  if (name == "compile" && IsOtherThanFolder(values.compile.folder) && IsFolder(values.compile.image)) {
    const CompileArgs& args = values.compile;
    return "compile: the arguments look swapped: " + Quoted(args.folder) + " is a file and " + Quoted(args.image) +
           " a folder; the folder comes first: " + Typed(Swapped(arguments, commandAt, args.folder, args.image));
  }
  if (name == "compile" && IsOtherThanFolder(values.compile.folder)) {
    return "compile: " + Quoted(values.compile.folder) + " is a file, not a folder; the folder to compile comes first: " +
           std::string(kProgramName) + " compile [OPTIONS] FOLDER IMAGE";
  }
  if (name == "convert" && !KindOnDisk(values.convert.image) && IsOtherThanFolder(values.convert.output)) {
    const ConvertArgs& args = values.convert;
    return "convert: the arguments look swapped: " + Quoted(args.image) + " does not exist and " +
           Quoted(args.output) + " does; the image to read comes first: " +
           Typed(Swapped(arguments, commandAt, args.image, args.output));
  }
  if (name == kMountCommand && IsFolder(values.mount.image) && IsOtherThanFolder(values.mount.mountPoint)) {
    const MountArgs& args = values.mount;
    return "mount: the arguments look swapped: " + Quoted(args.image) + " is a folder and " +
           Quoted(args.mountPoint) + " a file; the image comes first: " +
           Typed(Swapped(arguments, commandAt, args.image, args.mountPoint));
  }
  return std::nullopt;
}

}  // namespace

std::string DescribeParseError(const CLI::App& program, const CLI::ParseError& error, const Words& arguments) {
  const CLI::App* command = Selected(program);
  const std::string where = command ? command->get_name() + ": " : "";
  const std::string help = command ? "zanthrel help " + command->get_name() : "zanthrel help";
  if (command && dynamic_cast<const CLI::RequiredError*>(&error)) {
    for (const CLI::Option* option : command->get_options()) {
      if (!option->nonpositional() && option->get_required() && option->count() == 0) {
        return where + option->get_name() + " is missing: " + UsageLine(*command);
      }
    }
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) && !arguments.empty()) {
    const CLI::Option* option = OptionNamed(command ? *command : program, arguments.back());
    if (option && TakesValue(*option)) {
      return where + arguments.back() + " expects " + option->get_type_name() +
             " after it: " + Typed(With(arguments, {option->get_type_name()}));
    }
  }
  return where + error.what() + "; " + help + " describes the usage";
}

std::optional<std::string> CheckUsage(const CLI::App& program, const CommandValues& values, const Words& arguments) {
  const CLI::App* command = Selected(program);
  if (const Words left = program.remaining(); !left.empty()) {
    return DescribeWordsBeforeCommand(program, command, left, arguments);
  }
  if (!command) return std::nullopt;
  if (const Words left = command->remaining(); !left.empty()) {
    return DescribeWordsLeftOver(*command, values, left, arguments);
  }
  const std::string& name = command->get_name();
  if (name == "decompile") return CheckDecompile(*command, values.decompile, arguments);
  if (name == "info" && values.info.json && values.info.logText) {
    return "info: --json and --log-text cannot be used together; give one of them: " + UsageLine(*command);
  }
  if (name == kHelpCommand && !values.helpTopic.empty() && !FindCommand(program, values.helpTopic)) {
    return "help: " + UnknownCommand(program, values.helpTopic);
  }
  return CheckArgumentKinds(values, name, arguments);
}

}  // namespace zanthrel::cli
