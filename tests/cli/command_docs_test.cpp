// The man page and the bash completion hold every command and option that the
// command line defines, and nothing that it does not.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/command_definitions.h"
#include "testkit/files.h"

namespace zanthrel {
namespace {

using Names = std::set<std::string>;

struct DefinedCommands {
  cli::CommandValues values;
  std::unique_ptr<CLI::App> program = cli::DefineCommands(values, /*withMount=*/true);
};

std::vector<const CLI::App*> Commands(const CLI::App& program) {
  return program.get_subcommands([](const CLI::App*) { return true; });
}

Names OptionNamesOf(const CLI::Option& option) {
  Names names;
  for (const std::string& name : option.get_snames()) names.insert("-" + name);
  for (const std::string& name : option.get_lnames()) names.insert("--" + name);
  return names;
}

Names OptionNamesOf(const CLI::App& command) {
  Names names;
  for (const CLI::Option* option : command.get_options()) names.merge(OptionNamesOf(*option));
  return names;
}

Names Without(Names names, const Names& left) {
  for (const std::string& name : left) names.erase(name);
  return names;
}

Names Words(const std::string& text) {
  std::istringstream stream(text);
  Names words;
  for (std::string word; stream >> word;) words.insert(word);
  return words;
}

// The options a piece of the man page names, its "\-" read as "-" and its
// font changes as spaces.
Names OptionsIn(std::string roff) {
  roff = std::regex_replace(roff, std::regex(R"(\\-)"), "-");
  roff = std::regex_replace(roff, std::regex(R"(\\f[BIRP])"), " ");
  Names options;
  const std::regex option(R"((^|[\s\[|"])(--?[A-Za-z][A-Za-z-]*))");
  for (auto it = std::sregex_iterator(roff.begin(), roff.end(), option); it != std::sregex_iterator(); ++it) {
    options.insert((*it)[2]);
  }
  return options;
}

std::string Section(const std::string& page, const std::string& name) {
  const size_t start = page.find(".SH " + name + "\n");
  if (start == std::string::npos) return "";
  const size_t end = page.find("\n.SH ", start + 1);
  return page.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The man page's synopsis: for each command ("" for the program alone), the
// options its lines name.
std::map<std::string, Names> SynopsisOptions(const std::string& page) {
  std::map<std::string, Names> synopsis;
  std::istringstream lines(Section(page, "SYNOPSIS"));
  std::string line, command;
  while (std::getline(lines, line)) {
    if (line.starts_with(".B zanthrel")) {
      command = line.size() > 12 ? line.substr(12) : "";
      synopsis[command];
    } else if (!line.starts_with(".SH") && line != ".br") {
      const Names found = OptionsIn(line);
      synopsis[command].insert(found.begin(), found.end());
    }
  }
  return synopsis;
}

// Each option's names, for every command, in the completion's case lines such
// as `list|verify) options="--json --help" ;;`.
std::map<std::string, Names> CompletionOptions(const std::string& script) {
  std::map<std::string, Names> options;
  const std::regex caseLine(R"rx(^\s*([a-z|]+)\) options="([^"]*)")rx", std::regex::multiline);
  for (auto it = std::sregex_iterator(script.begin(), script.end(), caseLine); it != std::sregex_iterator(); ++it) {
    std::istringstream commands((*it)[1].str());
    for (std::string command; std::getline(commands, command, '|');) options[command] = Words((*it)[2]);
  }
  return options;
}

std::string Captured(const std::string& text, const std::string& pattern) {
  std::smatch match;
  return std::regex_search(text, match, std::regex(pattern)) ? match[1].str() : "";
}

const std::string kSourceDir = ZANTHREL_SOURCE_DIR;

TEST(CommandDocsTest, ManPageNamesEveryCommandAndEachOfItsOptionsAndNoOther) {
  const DefinedCommands defined;
  const std::string page = testkit::ReadText(kSourceDir + "/docs/zanthrel.1");
  const std::map<std::string, Names> synopsis = SynopsisOptions(page);
  const std::string commandsSection = Section(page, "COMMANDS");
  const Names described = OptionsIn(page.substr(page.find(".SH DESCRIPTION")));

  Names defined_commands;
  for (const CLI::App* command : Commands(*defined.program)) {
    const std::string& name = command->get_name();
    defined_commands.insert(name);
    ASSERT_TRUE(synopsis.contains(name)) << name << " has no synopsis line";
    EXPECT_NE(commandsSection.find(".TP\n.B " + name + "\n"), std::string::npos) << name << " is not described";
    const Names names = OptionNamesOf(*command);
    const Names listed = synopsis.at(name);
    for (const std::string& option : listed) {
      EXPECT_TRUE(names.contains(option)) << name << ": the synopsis names " << option << ", which it does not take";
    }
    for (const CLI::Option* option : command->get_options()) {
      if (!option->nonpositional() || option == command->get_help_ptr()) continue;
      const std::string shown = option->get_lnames().empty() ? "-" + option->get_snames().front()
                                                             : "--" + option->get_lnames().front();
      const Names forms = OptionNamesOf(*option);
      EXPECT_TRUE(std::any_of(forms.begin(), forms.end(), [&](const std::string& form) { return listed.contains(form); }))
          << name << ": " << shown << " is missing from the synopsis";
      EXPECT_TRUE(described.contains(shown)) << name << ": " << shown << " is not described";
    }
  }
  for (const auto& [name, options] : synopsis) {
    if (!name.empty()) {
      EXPECT_TRUE(defined_commands.contains(name)) << "the synopsis has a stale command " << name;
    }
  }
  EXPECT_EQ(synopsis.at(""), OptionNamesOf(*defined.program));
}

TEST(CommandDocsTest, BashCompletionOffersEveryCommandAndEachOfItsOptionsAndNoOther) {
  const DefinedCommands defined;
  const std::string script = testkit::ReadText(kSourceDir + "/data/zanthrel.bash-completion");

  Names names;
  for (const CLI::App* command : Commands(*defined.program)) names.insert(command->get_name());
  EXPECT_EQ(Words(Captured(script, R"rx(local commands="([^"]*)")rx")), names);
  // The help flag's short form is left out, as --help is offered beside it.
  const Names programOptions = Words(Captured(script, R"rx(compgen -W "\$commands ([^"]*)")rx"));
  EXPECT_EQ(programOptions, Without(OptionNamesOf(*defined.program), {"-h"}));

  const std::map<std::string, Names> offered = CompletionOptions(script);
  for (const CLI::App* command : Commands(*defined.program)) {
    ASSERT_TRUE(offered.contains(command->get_name())) << command->get_name() << " has no options line";
    EXPECT_EQ(offered.at(command->get_name()), Without(OptionNamesOf(*command), {"-h"})) << command->get_name();
  }
  for (const auto& [name, options] : offered) {
    EXPECT_TRUE(names.contains(name)) << "the completion has a stale command " << name;
  }
}

}  // namespace
}  // namespace zanthrel
