#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "support/cp1251.h"
#ifdef ZANTHREL_WITH_WINDOW
#include "cli/open_window.h"
#endif

namespace {

// --names and --log-encoding: cp1251 (the default) or utf-8.
CLI::Option* AddEncodingOption(CLI::App* command, const std::string& name, zanthrel::TextEncoding& encoding,
                               const std::string& help) {
  using zanthrel::TextEncoding;
  return command
      ->add_option_function<std::string>(
          name,
          [&encoding](const std::string& value) {
            encoding = value == "utf-8" ? TextEncoding::kUtf8 : TextEncoding::kCp1251;
          },
          help)
      ->check(CLI::IsMember({"cp1251", "utf-8"}));
}

constexpr const char* kNamesHelp =
    "cp1251 (the default) or utf-8: how the disc's names are written, utf-8 for a disc made so";

}  // namespace

int zanthrel::cli::RunCommandLine(int argc, char** argv) {
  using namespace zanthrel::cli;
#ifdef ZANTHREL_WITH_WINDOW
  if (argc == 1) {
    if (const std::optional<int> status = OpenWindow(argc, argv)) return *status;
  }
#endif
  CLI::App app{"Zanthrel: decompile and compile 3DO Opera disc images", "zanthrel"};
  app.set_version_flag("--version", std::string("zanthrel ") + ZANTHREL_VERSION);
  app.require_subcommand(0, 1);

  DecompileArgs decompile;
  CLI::App* decompileCommand =
      app.add_subcommand("decompile", "Write every directory and file of an image into DIR/PARCE_<base>, "
                                      "with the log DIR/<base>.log; <base> is the image's file name "
                                      "without .gz and its last extension");
  decompileCommand->add_flag("--info", decompile.info,
                             "Create additional info: the block map and dumps of unclaimed blocks, "
                             "beside the log");
  decompileCommand->add_flag("--disc-label", decompile.discLabel, "Extract \"Disc label\" as a file");
  decompileCommand->add_option("-o,--output", decompile.outputDir, "Folder for the output (default: .)");
  decompileCommand->add_flag("-f,--force", decompile.force,
                             "Write into an output folder that is not empty (refused otherwise)");
  decompileCommand->add_flag("--allow-overlaps", decompile.allowOverlaps,
                             "Go on past 8 times the volume's size, which only entries that claim the "
                             "same blocks make a run write");
  AddEncodingOption(decompileCommand, "--log-encoding", decompile.logEncoding,
                    "cp1251 (the default, the log's own) or utf-8, for reading the log and the block map in a "
                    "terminal");
  AddEncodingOption(decompileCommand, "--names", decompile.names, kNamesHelp);
  decompileCommand->add_flag("-q,--quiet", decompile.quiet, "Print nothing but errors and a count of warnings");
  CLI::Option* imageOption = decompileCommand->add_option(
      "IMAGE", decompile.image, "Image file: plain or gzip (2048 or raw 2352), CHD, cue sheet, NRG, raw MODE2");
  CLI::Option* driveOption = decompileCommand->add_option(
      "--drive", decompile.drive, "Read the disc in this drive (such as /dev/sr0, or D: on Windows); needs -o");
  imageOption->excludes(driveOption);
  decompileCommand->callback([&]() {
    if (decompile.image.empty() && decompile.drive.empty()) {
      throw CLI::RequiredError("IMAGE or --drive");
    }
    if (!decompile.drive.empty() && decompileCommand->count("-o") == 0) {
      throw CLI::RequiredError("-o DIR with --drive");
    }
  });

  CompileArgs compile;
  CLI::App* compileCommand =
      app.add_subcommand("compile", "Build an Opera image from a folder, boot area included");
  compileCommand->add_flag("--no-boot-area", compile.noBootArea,
                           "Leave out the boot area (blocks 1-302 and the boot file slots)");
  compileCommand->add_flag("-q,--quiet", compile.quiet, "Print nothing but errors and a count of warnings");
  compileCommand->add_option("FOLDER", compile.folder, "Folder to compile")->required();
  compileCommand->add_flag("-f,--force", compile.force,
                           "Replace IMAGE if it exists (never one inside FOLDER)");
  AddEncodingOption(compileCommand, "--names", compile.names,
                    "cp1251 (the default) or utf-8: how the names are stored, utf-8 for tools that read them so");
  compileCommand->add_flag("--no-outside-links", compile.noOutsideLinks,
                           "Leave out links that lead out of FOLDER (each is a warning either way)");
  compileCommand->add_option("IMAGE", compile.image,
                             "Image file to write; one that exists is replaced only with --force")
      ->required();

  std::string infoImage;
  bool infoLogText = false;
  bool infoJson = false;
  CLI::App* infoCommand = app.add_subcommand(
      "info", "Describe the volume: label, container, size, root copies, folders, files and bytes");
  infoCommand->add_option("IMAGE", infoImage, "Image file")->required();
  CLI::Option* logTextOption = infoCommand->add_flag(
      "--log-text", infoLogText, "The label as the decompile log describes it, in Russian");
  infoCommand->add_flag("--json", infoJson, "Print the description as JSON")->excludes(logTextOption);

  CLI::App* drivesCommand =
      app.add_subcommand("drives", "List the CD-ROM and removable drives that decompile can read");

  std::string listImage;
  CLI::App* listCommand = app.add_subcommand(
      "list", "List the directory tree: path, kind, bytes, blocks, copies, first block");
  listCommand->add_option("IMAGE", listImage, "Image file")->required();
  bool listJson = false;
  listCommand->add_flag("--json", listJson, "Print the tree as a JSON array");
  TextEncoding listNames = TextEncoding::kCp1251;
  AddEncodingOption(listCommand, "--names", listNames, kNamesHelp);

  std::string verifyImage;
  bool verifyJson = false;
  CLI::App* verifyCommand = app.add_subcommand(
      "verify", "Read every copy of every folder and file; report unreadable blocks, copies that "
                "differ, blocks claimed twice and blocks nothing claims. Exit 0 clean, 1 damage found");
  verifyCommand->add_option("IMAGE", verifyImage, "Image file")->required();
  verifyCommand->add_flag("--json", verifyJson, "Print the report as JSON");

  std::string convertImage, convertOutput;
  bool convertQuiet = false, convertForce = false;
  CLI::App* convertCommand = app.add_subcommand(
      "convert", "Write the data track of any image (CHD, cue sheet, NRG, raw) as a plain 2048-byte image");
  convertCommand->add_flag("-q,--quiet", convertQuiet, "Print nothing but errors");
  convertCommand->add_option("IMAGE", convertImage, "Image file")->required();
  convertCommand->add_flag("-f,--force", convertForce, "Replace OUT if it exists (never IMAGE itself)");
  convertCommand
      ->add_option("OUT", convertOutput, "Plain image to write; one that exists is replaced only with --force")
      ->required();

#ifdef ZANTHREL_WITH_MOUNT
  std::string mountImage, mountPoint;
  bool allCopies = false, foreground = false, nonEmpty = false;
  CLI::App* mountCommand = app.add_subcommand(
      "mount", "Show an image's tree read-only at MOUNTPOINT; fusermount3 -u MOUNTPOINT leaves");
  mountCommand->add_flag("--all-copies", allCopies,
                         "Show each copy of a file that has several as name;1, name;2, ...");
  mountCommand->add_flag("-f,--foreground", foreground, "Stay in the foreground");
  TextEncoding mountNames = TextEncoding::kCp1251;
  AddEncodingOption(mountCommand, "--names", mountNames, kNamesHelp);
  mountCommand->add_flag("--nonempty", nonEmpty,
                         "Mount on a folder that is not empty, hiding what it holds until the mount is left");
  mountCommand->add_option("IMAGE", mountImage, "Image file")->required();
  mountCommand->add_option("MOUNTPOINT", mountPoint, "Empty folder to mount on")->required();
#else
  app.footer("mount: absent from this build; it needs Linux and libfuse3.");
#endif

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }

  if (*decompileCommand) return RunDecompile(decompile);
  zanthrel::UniqueIdGenerator ids;
  if (*compileCommand) return RunCompile(compile, ids);
  if (*infoCommand) {
    return RunInfo(infoImage, infoJson      ? InfoFormat::kJson
                              : infoLogText ? InfoFormat::kLogText
                                            : InfoFormat::kEnglish);
  }
  if (*listCommand) return RunList(listImage, listJson, listNames);
  if (*convertCommand) return RunConvert(convertImage, convertOutput, convertQuiet, convertForce);
  if (*drivesCommand) return RunDrives();
  if (*verifyCommand) return RunVerify(verifyImage, verifyJson);
#ifdef ZANTHREL_WITH_MOUNT
  if (*mountCommand) return RunMount({mountImage, mountPoint, allCopies, foreground, mountNames}, nonEmpty);
#endif
  std::cout << app.help();
  return kExitDone;
}

#ifndef _WIN32
int main(int argc, char** argv) { return zanthrel::cli::RunCommandLine(argc, argv); }
#endif
