// The mistakes people make on the command line, through the real program: each
// is one line that names the command, says what was expected and gives a line
// that works, with exit status 2 and nothing done; and the help and version.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::RunZanthrel;

struct UsageCase {
  std::string arguments;
  std::string err;  // without the "zanthrel: " before it and the line end after it
};

#ifdef ZANTHREL_WITH_MOUNT
const std::string kCommands = "decompile, compile, convert, info, list, verify, diff, mount, drives, help, version";
#else
const std::string kCommands = "decompile, compile, convert, info, list, verify, diff, drives, help, version";
#endif

const std::vector<std::string> kCommandNames = {"decompile", "compile", "convert", "info",   "list",
                                                "verify",    "diff",    "drives",  "help",    "version"};

// A folder of the names the cases use: sample.iso an image, samples and tree
// folders, existing.iso a file that is there already.
void MakeTheFiles(testkit::TempFolder& temp) {
  testkit::WriteBytes(temp / "sample.iso", testkit::MakeSampleDisc().image);
  fs::create_directories(temp.Path() / "samples");
  fs::create_directories(temp.Path() / "tree");
  testkit::WriteText(temp / "tree/readme.txt", "hello");
  fs::create_directories(temp.Path() / "existingdir");
}

size_t EntriesIn(const fs::path& folder) {
  return size_t(std::distance(fs::recursive_directory_iterator(folder), fs::recursive_directory_iterator()));
}

void ExpectRefused(const std::vector<UsageCase>& cases) {
  testkit::TempFolder temp;
  MakeTheFiles(temp);
  const size_t entries = EntriesIn(temp.Path());
  for (const UsageCase& usage : cases) {
    const testkit::ProcessOutcome run = RunZanthrel(usage.arguments);
    EXPECT_EQ(run.status, 2) << usage.arguments;
    EXPECT_EQ(run.err, "zanthrel: " + usage.err + "\n") << usage.arguments;
    EXPECT_EQ(run.out, "") << usage.arguments;
  }
  // Refused before any work: not a folder or a log made.
  EXPECT_EQ(EntriesIn(temp.Path()), entries);
}

TEST(UsageErrorTest, ArgumentsThatACommandDoesNotTakeAreNamedWithTheLineThatWorks) {
  ExpectRefused({
      {"decompile sample.iso outdir",
       "decompile: unexpected argument 'outdir'; the output folder is given with -o: "
       "zanthrel decompile sample.iso -o outdir"},
      {"decompile -q sample.iso outdir",
       "decompile: unexpected argument 'outdir'; the output folder is given with -o: "
       "zanthrel decompile -q sample.iso -o outdir"},
      {"decompile -o out sample.iso more",
       "decompile: unexpected argument 'more'; decompile takes IMAGE: zanthrel decompile [OPTIONS] [IMAGE]"},
      {"compile tree out.iso extra",
       "compile: unexpected argument 'extra'; compile takes FOLDER IMAGE: zanthrel compile [OPTIONS] FOLDER IMAGE"},
      {"drives sample.iso", "drives: unexpected argument 'sample.iso'; drives takes no arguments: zanthrel drives"},
      {"decompile --bogus sample.iso",
       "decompile: unknown option '--bogus'; zanthrel help decompile lists its options"},
      {"decompile --foce sample.iso", "decompile: unknown option '--foce'; did you mean '--force'?"},
      {"compile --info tree out.iso", "compile: unknown option '--info'; zanthrel help compile lists its options"},
      {"list -qz sample.iso", "list: unknown option '-qz'; zanthrel help list lists its options"},
      {"verify -j 0 sample.iso",
       "verify: --jobs: N is a whole number of 1 or more, not 0; zanthrel help verify describes the usage"},
      {"info --jobs many sample.iso sample.iso",
       "info: --jobs: N is a whole number of 1 or more, not many; zanthrel help info describes the usage"},
  });
}

// A label value that the disc cannot hold is refused before anything is written.
TEST(UsageErrorTest, LabelValuesTheDiscCannotHoldAreRefused) {
  const std::string usage = "; zanthrel help compile describes the usage";
  ExpectRefused({
      {"compile --volume-label " + std::string(33, 'x') + " tree out.iso",
       "compile: --volume-label: \"" + std::string(33, 'x') +
           "\" is 33 bytes in Windows-1251; the label holds at most 32" + usage},
      {"compile --volume-comment '日本' tree out.iso",
       "compile: --volume-comment: \"日本\" has characters without a Windows-1251 form, which the label is "
       "stored in" + usage},
      {"compile --volume-id 0x100000000 tree out.iso",
       "compile: --volume-id: \"0x100000000\" is not a 32-bit number: give it in decimal (0 to 4294967295) or "
       "in hex (0x0 to 0xFFFFFFFF)" + usage},
      {"compile --root-id -5 tree out.iso",
       "compile: --root-id: \"-5\" is not a 32-bit number: give it in decimal (0 to 4294967295) or in hex "
       "(0x0 to 0xFFFFFFFF)" + usage},
  });
}

TEST(UsageErrorTest, WhatIsMissingIsNamed) {
  ExpectRefused({
      {"decompile",
       "decompile: IMAGE is missing: zanthrel decompile [OPTIONS] IMAGE, or from a drive: "
       "zanthrel decompile --drive DEVICE -o DIR"},
      {"decompile --drive /dev/sr0",
       "decompile: --drive needs -o DIR, the folder to write into: zanthrel decompile --drive /dev/sr0 -o DIR"},
      {"decompile -o out --drive /dev/sr0 sample.iso",
       "decompile: IMAGE and --drive cannot both be given, the disc is read from one of them: "
       "zanthrel decompile [OPTIONS] IMAGE, or zanthrel decompile --drive DEVICE -o DIR"},
      {"decompile sample.iso -o", "decompile: -o expects DIR after it: zanthrel decompile sample.iso -o DIR"},
      {"compile tree", "compile: IMAGE is missing: zanthrel compile [OPTIONS] FOLDER IMAGE"},
      {"compile", "compile: FOLDER is missing: zanthrel compile [OPTIONS] FOLDER IMAGE"},
      {"convert sample.iso", "convert: OUT is missing: zanthrel convert [OPTIONS] IMAGE OUT"},
      {"verify --json", "verify: IMAGE is missing: zanthrel verify [OPTIONS] IMAGE..."},
      {"info --json --log-text sample.iso",
       "info: --json and --log-text cannot be used together; give one of them: zanthrel info [OPTIONS] IMAGE..."},
  });
}

// Told apart by what the two names are on disk.
TEST(UsageErrorTest, SwappedArgumentsAreRecognisedByWhatExists) {
  std::vector<UsageCase> cases = {
      {"compile sample.iso samples",
       "compile: the arguments look swapped: 'sample.iso' is a file and 'samples' a folder; the folder comes "
       "first: zanthrel compile samples sample.iso"},
      {"compile -f sample.iso samples",
       "compile: the arguments look swapped: 'sample.iso' is a file and 'samples' a folder; the folder comes "
       "first: zanthrel compile -f samples sample.iso"},
      {"compile sample.iso new.iso",
       "compile: 'sample.iso' is a file, not a folder; the folder to compile comes first: "
       "zanthrel compile [OPTIONS] FOLDER IMAGE"},
      {"convert new.iso sample.iso",
       "convert: the arguments look swapped: 'new.iso' does not exist and 'sample.iso' does; the image to read "
       "comes first: zanthrel convert sample.iso new.iso"},
      // An output that stands in the way is refused before the folder is read.
      {"compile tree existingdir",
       "existingdir: not a regular file (a folder); the image is written only to a regular file or a new name"},
      {"compile tree sample.iso", "sample.iso: exists already; use -f or --force to replace it"},
  };
#ifdef ZANTHREL_WITH_MOUNT
  cases.push_back({"mount samples sample.iso",
                   "mount: the arguments look swapped: 'samples' is a folder and 'sample.iso' a file; the image "
                   "comes first: zanthrel mount sample.iso samples"});
#endif
  ExpectRefused(cases);
}

TEST(UsageErrorTest, AWordInPlaceOfTheCommandIsNamedWithTheCommandMeant) {
  ExpectRefused({
      {"frobnicate x", "unknown command 'frobnicate'; the commands are " + kCommands +
                           " (zanthrel help describes them)"},
      {"decompil sample.iso", "unknown command 'decompil'; did you mean: zanthrel decompile sample.iso"},
      {"conv sample.iso new.iso", "unknown command 'conv'; did you mean: zanthrel convert sample.iso new.iso"},
      {"sample.iso -o out", "'sample.iso' is not a command; to decompile the image: zanthrel decompile sample.iso -o out"},
      {"tree", "'tree' is not a command; to compile the folder: zanthrel compile tree IMAGE"},
      {"sample.iso decompile", "unexpected argument 'sample.iso' before the command; the command comes first: "
                                "zanthrel decompile sample.iso"},
      {"-q decompile sample.iso",
       "option '-q' comes before the command; options follow it: zanthrel decompile -q sample.iso"},
      {"-o out decompile sample.iso",
       "option '-o' comes before the command; options follow it: zanthrel decompile -o out sample.iso"},
      {"--drive /dev/sr0 -o out",
       "a command is missing; '--drive' is an option of decompile: zanthrel decompile --drive /dev/sr0 -o out"},
      {"-f", "a command is missing; '-f' is an option of decompile, compile, convert" +
                 std::string(kCommands.find("mount") != std::string::npos ? ", mount" : "") +
                 ", given after the command (zanthrel help describes them)"},
      {"--bogus", "unknown option '--bogus'; zanthrel help lists the commands and options"},
      {"--verison", "unknown option '--verison'; did you mean '--version'?"},
      {"help frobnicate",
       "help: unknown command 'frobnicate'; the commands are " + kCommands + " (zanthrel help describes them)"},
  });
}

#ifndef _WIN32  // the quoting of a POSIX shell
TEST(UsageErrorTest, TheLineThatWorksQuotesWhatTheShellWouldSplit) {
  testkit::TempFolder temp;
  const testkit::ProcessOutcome run = RunZanthrel("decompile \"Game (v1.0).iso\" \"it's\"");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err,
            "zanthrel: decompile: unexpected argument 'it's'; the output folder is given with -o: "
            "zanthrel decompile 'Game (v1.0).iso' -o 'it'\\''s'\n");
}
#endif

// On Windows too, where "/" once began an option.
TEST(UsageErrorTest, AnArgumentThatStartsWithASlashIsAPath) {
  testkit::TempFolder temp;
  for (const std::string arguments : {"info /no-such-folder/x.iso", "decompile /no-such-folder/x.iso"}) {
    const testkit::ProcessOutcome run = RunZanthrel(arguments);
    EXPECT_EQ(run.status, 2) << arguments;
    EXPECT_TRUE(run.err.starts_with("zanthrel: /no-such-folder/x.iso: cannot be opened")) << run.err;
  }
}

TEST(HelpTest, VersionAndHelpAreCommandsAndOptionsAlike) {
  for (const char* arguments : {"--version", "-V", "version"}) {
    const testkit::ProcessOutcome run = RunZanthrel(arguments);
    EXPECT_EQ(run.status, 0) << arguments;
    EXPECT_EQ(run.out, "zanthrel " ZANTHREL_VERSION "\n") << arguments;
    EXPECT_EQ(run.err, "") << arguments;
  }
  const std::string help = RunZanthrel("help").out;
  for (const char* arguments : {"--help", "-h"}) EXPECT_EQ(RunZanthrel(arguments).out, help) << arguments;
  EXPECT_TRUE(help.starts_with("Usage: zanthrel COMMAND [OPTIONS] [ARGUMENTS]\n")) << help;
  for (const std::string& name : kCommandNames) EXPECT_NE(help.find("\n  " + name + " "), std::string::npos) << name;
  EXPECT_NE(help.find("Exit status:\n"
                      "  0    done; for verify, no damage found\n"
                      "  1    the run failed or finished with problems; for verify, damage found\n"
                      "  2    bad usage, or an image that cannot be opened\n"
                      "  130  stopped by Ctrl-C\n"),
            std::string::npos)
      << help;

  const std::string decompileHelp = RunZanthrel("help decompile").out;
  for (const char* arguments : {"decompile --help", "decompile -h", "decompile -q --help"}) {
    EXPECT_EQ(RunZanthrel(arguments).out, decompileHelp) << arguments;
  }
  EXPECT_NE(decompileHelp.find("\n  -o, --output DIR  Folder for the output (default: .)\n"), std::string::npos)
      << decompileHelp;
  EXPECT_NE(decompileHelp.find("\n  --drive DEVICE "), std::string::npos) << decompileHelp;
}

TEST(HelpTest, EveryHelpFitsATerminalAndShowsNoParserInternals) {
  std::vector<std::string> helps = {RunZanthrel("help").out};
  for (const std::string& name : kCommandNames) {
    const testkit::ProcessOutcome run = RunZanthrel("help " + name);
    EXPECT_EQ(run.status, 0) << name;
    EXPECT_TRUE(run.out.starts_with("Usage: zanthrel " + name)) << run.out;
    helps.push_back(run.out);
  }
  for (const std::string& help : helps) {
    for (const char* internal : {"Excludes", "REQUIRED", "TEXT", "Subcommands", "Positionals", "[Option Group"}) {
      EXPECT_EQ(help.find(internal), std::string::npos) << internal << " in\n" << help;
    }
    EXPECT_NE(help.find("Exit status:"), std::string::npos) << help;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 80u) << line;
  }
}

}  // namespace
}  // namespace zanthrel
