#include "cli/command_definitions.h"

namespace zanthrel::cli {

namespace {

// --names and --log-encoding: cp1251 (the default) or utf-8.
void AddEncodingOption(CLI::App* command, const std::string& name, TextEncoding& encoding, const std::string& help) {
  command
      ->add_option_function<std::string>(
          name,
          [&encoding](const std::string& value) {
            encoding = value == "utf-8" ? TextEncoding::kUtf8 : TextEncoding::kCp1251;
          },
          help)
      ->type_name("ENCODING")
      ->check(CLI::IsMember({"cp1251", "utf-8"}));
}

constexpr const char* kNamesHelp =
    "cp1251 (the default) or utf-8: how the disc's names are written, utf-8 for a disc made so";

void DefineDecompile(CLI::App& program, DecompileArgs& args) {
  CLI::App* command =
      program.add_subcommand("decompile", "Write every directory and file of an image into DIR/PARCE_<base>, "
                                          "with the log DIR/<base>.log; <base> is the image's file name "
                                          "without .gz and its last extension");
  command->add_flag("--info", args.info,
                    "Create additional info: the block map and dumps of unclaimed blocks, beside the log");
  command->add_flag("--disc-label", args.discLabel, "Extract \"Disc label\" as a file");
  command->add_option("-o,--output", args.outputDir, "Folder for the output (default: .)")->type_name("DIR");
  command->add_flag("-f,--force", args.force, "Write into an output folder that is not empty (refused otherwise)");
  command->add_flag("--allow-overlaps", args.allowOverlaps,
                    "Go on past 8 times the volume's size, which only entries that claim the same blocks make a "
                    "run write");
  AddEncodingOption(command, "--log-encoding", args.logEncoding,
                    "cp1251 (the default, the log's own) or utf-8, for reading the log and the block map in a "
                    "terminal");
  AddEncodingOption(command, "--names", args.names, kNamesHelp);
  command->add_flag("--layout", args.layout,
                    "Record the disc's layout in DIR/<base>.layout.json and the blocks it keeps in "
                    "DIR/<base>.layout.blocks, for compile --layout");
  command->add_flag("-q,--quiet", args.quiet, "Print nothing but errors and a count of warnings");
  command->add_flag("-v,--verbose", args.verbose, "Name each file on stdout as it is written");
  command->add_option("IMAGE", args.image,
                      "Image file: plain or gzip (2048 or raw 2352), CHD, cue sheet, NRG, raw MODE2");
  command->add_option("--drive", args.drive, "Read the disc in this drive (such as /dev/sr0, or D: on Windows); needs -o")
      ->type_name("DEVICE");
  command->footer("IMAGE or --drive gives the disc to read: zanthrel decompile [OPTIONS] IMAGE, or zanthrel "
                  "decompile [OPTIONS] --drive DEVICE -o DIR.");
}

// A check of a typed value: empty when sound, else the failure's words.
template <typename T>
CLI::Validator Checked(Result<T> (*check)(const std::string&)) {
  return CLI::Validator(
      [check](std::string& text) -> std::string {
        Result<T> value = check(text);
        return value ? "" : value.Failure().text;
      },
      "");
}

// --volume-label and --volume-comment: a text kept as typed, once it has a form to store.
void AddLabelText(CLI::App* command, const std::string& name, std::optional<std::string>& field,
                  const std::string& typeName, const std::string& help) {
  command->add_option_function<std::string>(name, [&field](const std::string& text) { field = text; }, help)
      ->type_name(typeName)
      ->check(Checked(LabelTextBytes));
}

// --volume-id and --root-id.
void AddLabelId(CLI::App* command, const std::string& name, std::optional<uint32_t>& field, const std::string& help) {
  command
      ->add_option_function<std::string>(
          name, [&field](const std::string& text) { field = *LabelIdNumber(text); }, help)
      ->type_name("N")
      ->check(Checked(LabelIdNumber));
}

void DefineCompile(CLI::App& program, CompileArgs& args) {
  CLI::App* command = program.add_subcommand("compile", "Build an Opera image from a folder, boot area included");
  command->add_flag("--no-boot-area", args.noBootArea, "Leave out the boot area (blocks 1-302 and the boot file slots)");
  command->add_flag("-q,--quiet", args.quiet, "Print nothing but errors and a count of warnings");
  command->add_flag("-v,--verbose", args.verbose, "Name each file on stdout as it is added");
  AddEncodingOption(command, "--names", args.names,
                    "cp1251 (the default) or utf-8: how the names are stored, utf-8 for tools that read them so");
  command->add_option("FOLDER", args.folder, "Folder to compile")->required();
  command->add_flag("-f,--force", args.force, "Replace IMAGE if it exists (never one inside FOLDER)");
  command->add_flag("--no-outside-links", args.noOutsideLinks,
                    "Leave out links that lead out of FOLDER (each is a warning either way)");
  command
      ->add_option("IMAGE", args.image,
                   "Image file to write: .iso, .cue (with one .bin beside it) or .chd, a plain image for any "
                   "other name; one that exists is replaced only with --force")
      ->required();
  command->add_option("--format", args.format, "Write this container whatever IMAGE's extension: iso, cue or chd")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"iso", "cue", "chd"}));
  command
      ->add_option("--layout", args.layout,
                   "Build the disc again by this layout file that decompile --layout wrote, from the folder it "
                   "wrote: the same bytes for an unchanged folder, each change written where it fits")
      ->type_name("FILE");
  AddLabelText(command, "--volume-label", args.label.text, "LABEL",
               "The volume label's text, at most 32 bytes in Windows-1251 (default: CD-ROM)");
  AddLabelText(command, "--volume-comment", args.label.comment, "COMMENT",
               "The volume label's comment, at most 32 bytes in Windows-1251 (default: none)");
  AddLabelId(command, "--volume-id", args.label.volumeId, "The volume's id: a 32-bit number, decimal or 0x hex");
  AddLabelId(command, "--root-id", args.label.rootId,
             "The root directory's id, kept in the label: a 32-bit number, decimal or 0x hex");
}

// IMAGE... and -j: the reading commands report on several images, reading
// some at once.
void AddImages(CLI::App* command, ImageReportArgs& args) {
  command->add_option("IMAGE", args.images, "Image files, reported on in the order given")->required();
  const CLI::Validator atLeastOne(
      [](std::string& text) -> std::string {
        unsigned value = 0;
        if (CLI::detail::lexical_cast(text, value) && value >= 1) return "";
        return "N is a whole number of 1 or more, not " + text;
      },
      "");
  command->add_option("-j,--jobs", args.jobs, "Read N images at once (default: one per processor)")
      ->type_name("N")
      ->check(atLeastOne);
}

void DefineInfo(CLI::App& program, InfoArgs& args) {
  CLI::App* command = program.add_subcommand(
      "info", "Describe the volume: label, container, size, root copies, folders, files and bytes");
  AddImages(command, args);
  command->add_flag("--log-text", args.logText, "The label as the decompile log describes it, in Russian");
  command->add_flag("--json", args.json, "Print the description as JSON (docs/json.md)");
}

void DefineList(CLI::App& program, ListArgs& args) {
  CLI::App* command =
      program.add_subcommand("list", "List the directory tree: path, kind, bytes, blocks, copies, first block");
  AddImages(command, args);
  command->add_flag("--json", args.json,
                    "Print the tree as JSON, with each entry's type, id, flags and copies (docs/json.md)");
  AddEncodingOption(command, "--names", args.names, kNamesHelp);
}

void DefineVerify(CLI::App& program, ImageReportArgs& args) {
  CLI::App* command = program.add_subcommand(
      "verify", "Read every copy of every folder and file; report unreadable blocks, copies that differ, blocks "
                "claimed twice and blocks nothing claims. Exit 0 clean, 1 damage found");
  AddImages(command, args);
  command->add_flag("--json", args.json, "Print the report as JSON (docs/json.md)");
}

void DefineConvert(CLI::App& program, ConvertArgs& args) {
  CLI::App* command = program.add_subcommand(
      "convert", "Write any image (CHD, cue sheet, NRG, raw, plain) as a plain 2048-byte image of its data "
                 "track, a CUE/BIN or a CHD of every track");
  command->add_flag("-q,--quiet", args.quiet, "Print nothing but errors");
  command->add_option("IMAGE", args.image, "Image file")->required();
  command->add_flag("-f,--force", args.force, "Replace OUT if it exists (never IMAGE itself)");
  command
      ->add_option("OUT", args.output,
                   "Image to write: .iso, .cue (with a .bin per track beside it) or .chd, a plain image for any "
                   "other name; one that exists is replaced only with --force")
      ->required();
  command->add_option("--format", args.format, "Write this container whatever OUT's extension: iso, cue or chd")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"iso", "cue", "chd"}));
}

void DefineDiff(CLI::App& program, DiffArgs& args) {
  CLI::App* command = program.add_subcommand(
      "diff", "Tell which entries of two images differ: added, removed, changed content or fields, moved; and "
              "the label's fields. Exit 0 equal, 1 they differ");
  command->add_option("A", args.first, "The first image (the original), any container")->required();
  command->add_option("B", args.second, "The second image (the rebuild, or the other dump), any container")
      ->required();
  command->add_flag("--json", args.json, "Print one JSON line per difference and one for the whole (docs/json.md)");
}

void DefineMount(CLI::App& program, MountArgs& args) {
  CLI::App* command = program.add_subcommand(
      kMountCommand, "Show an image's tree read-only at MOUNTPOINT; fusermount3 -u MOUNTPOINT leaves");
  command->add_flag("--all-copies", args.allCopies, "Show each copy of a file that has several as name;1, name;2, ...");
  command->add_flag("-f,--foreground", args.foreground, "Stay in the foreground");
  AddEncodingOption(command, "--names", args.names, kNamesHelp);
  command->add_flag("--nonempty", args.nonEmpty,
                    "Mount on a folder that is not empty, hiding what it holds until the mount is left");
  command->add_option("IMAGE", args.image, "Image file")->required();
  command->add_option("MOUNTPOINT", args.mountPoint, "Empty folder to mount on")->required();
}

}  // namespace

std::unique_ptr<CLI::App> DefineCommands(CommandValues& values, bool withMount) {
  auto program = std::make_unique<CLI::App>("Decompile and compile 3DO Opera disc images", kProgramName);
  // Set before any command is added, which takes it over: an argument that
  // starts with "/" is a path on every host, never an option.
  program->allow_windows_style_options(false);
  // Unknown words and options are kept, not thrown, so that the usage check
  // can say what was meant.
  program->allow_extras();
  program->require_subcommand(0, 1);
  program->set_help_flag("-h,--help", "Print this help, or a command's when given after it");
  program->set_version_flag("-V,--version", std::string(kProgramName) + " " + ZANTHREL_VERSION, "Print the version");

  DefineDecompile(*program, values.decompile);
  DefineCompile(*program, values.compile);
  DefineConvert(*program, values.convert);
  DefineInfo(*program, values.info);
  DefineList(*program, values.list);
  DefineVerify(*program, values.verify);
  DefineDiff(*program, values.diff);
  if (withMount) DefineMount(*program, values.mount);
  program->add_subcommand("drives", "List the CD-ROM and removable drives that decompile can read");
  program->add_subcommand(kHelpCommand, "Print this help, or a command's: zanthrel help COMMAND")
      ->add_option("COMMAND", values.helpTopic, "The command to describe");
  program->add_subcommand(kVersionCommand, "Print the version");

  for (CLI::App* command : program->get_subcommands([](CLI::App*) { return true; })) {
    command->allow_extras();
    command->set_help_flag("-h,--help", "Print this help");
  }
  return program;
}

const CLI::App* FindCommand(const CLI::App& program, const std::string& name) {
  const std::vector<const CLI::App*> found =
      program.get_subcommands([&name](const CLI::App* command) { return command->get_name() == name; });
  return found.empty() ? nullptr : found.front();
}

}  // namespace zanthrel::cli
