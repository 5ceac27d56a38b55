#include "testkit/mastered_disc.h"

#include "testkit/image_builder.h"
#include "testkit/log_text.h"

namespace zanthrel::testkit {

namespace {

constexpr uint32_t kBlocks = 400;

// A file of `bytes` bytes whose first copy starts at `copies[0]`.
EntryFields File(const std::string& name, uint32_t id, const std::string& type, uint32_t bytes,
                 std::vector<uint32_t> copies) {
  EntryFields fields = FileEntry(name, 0, bytes);
  fields.id = id;
  fields.type = type;
  fields.copies = std::move(copies);
  return fields;
}

EntryFields Folder(const std::string& name, uint32_t id, uint32_t blockCount, std::vector<uint32_t> copies) {
  EntryFields fields = DirEntry(name, 0, blockCount);
  fields.id = id;
  fields.byteCount = 2048 * blockCount;
  fields.copies = std::move(copies);
  return fields;
}

// The file's content, written at every copy; its last block goes on with
// more of the same pattern past the file's end, as a mastering tool leaves it.
Bytes PlaceFile(ImageBuilder& builder, const EntryFields& file, uint32_t seed,
                std::map<std::string, Bytes>& files, const std::string& hostPath) {
  const Bytes whole = Pattern(size_t(file.blockCount) * 2048, seed);
  for (uint32_t copy : file.copies) builder.Data(copy, whole);
  const Bytes content = Slice(whole, 0, file.byteCount);
  files[hostPath] = content;
  return content;
}

}  // namespace

MasteredDisc MakeMasteredDisc(bool differingCopy) {
  ImageBuilder builder(kBlocks);
  MasteredDisc disc;

  LabelFields label;
  label.comment = "Zanthrel mastered test disc";
  label.labelText = "MASTERED";
  label.volumeId = 0x5EA1D15C;
  label.rootId = 0x0000A001;
  label.rootBlockCount = 2;
  label.rootCopies = {2, 300};
  label.flags = 0x01;
  builder.Label(label);
  // Behind the label and in the boot area: bytes that no entry claims.
  builder.Data(0, Concat(Bytes(132, 0), Pattern(2048 - 132, 90)));
  builder.Label(label);
  builder.Data(1, Pattern(2048, 91));
  builder.Data(7, Pattern(3 * 2048, 92));
  builder.Data(100, Pattern(2 * 2048, 93));
  builder.Data(kBlocks - 1, Pattern(2048, 94));

  // Files, each first copy at its own place, some with copies far away.
  EntryFields launchMe = File("LaunchMe", 0x0000A010, "*zap", 5000, {20});
  EntryFields zeta = File("zeta.dat", 0x0000A011, "DATA", 3000, {24, 320, 360});
  EntryFields alpha = File("alpha", 0x7FFFFFFF, std::string("\0\0\x01\xFF", 4), 100, {26, 330});
  alpha.flags = 0x00000202;
  alpha.burst = 7;
  alpha.gap = 3;
  EntryFields empty = File("empty", 0x0000A013, "    ", 0, {27});
  EntryFields osCode = File("os_code", 0x0000B001, "code", 5000, {30});
  EntryFields miscCode = File("misc_code", 0x0000B002, "code", 2048, {33});
  EntryFields banner = File("banner", 0x0000B003, "IMAG", 10, {34});
  banner.burst = 0;
  EntryFields kernel = File("kernel", 0x0000C001, "kern", 4096, {36, 340});
  kernel.gap = 0xFFFFFFFF;
  EntryFields ab = File("a:b", 0x0000D001, "TEXT", 10, {38});
  EntryFields same = File("same", 0x0000D002, "TEXT", 700, {39});
  EntryFields sameAgain = File("same", 0x0000D003, "TEXT", 900, {40});

  PlaceFile(builder, launchMe, 1, disc.files, "LaunchMe");
  // The boot area holds another copy of LaunchMe that its entry does not name.
  builder.Data(4, Pattern(3 * 2048, 1));
  PlaceFile(builder, zeta, 2, disc.files, "zeta.dat");
  // The third copy of zeta.dat is not equal to the first: decompile reads the first.
  if (differingCopy) builder.Data(360, Pattern(2 * 2048, 20));
  PlaceFile(builder, alpha, 3, disc.files, "alpha");
  disc.files["empty"] = {};
  PlaceFile(builder, osCode, 4, disc.files, "System/os_code");
  PlaceFile(builder, miscCode, 5, disc.files, "System/misc_code");
  PlaceFile(builder, banner, 6, disc.files, "System/banner");
  PlaceFile(builder, kernel, 7, disc.files, "System/Kernel/kernel");
  PlaceFile(builder, ab, 8, disc.files, "Игры/a!3Ab");
  PlaceFile(builder, same, 9, disc.files, "Игры/same");
  PlaceFile(builder, sameAgain, 10, disc.files, "Игры/same~1");

  // Directories: the root and "System" over two blocks each, every
  // directory in two or three copies, entries in the order of no sort.
  EntryFields discLabel = LabelEntry();
  discLabel.id = 0x0000A0FF;
  discLabel.flags = 6;  // in the middle of its block: not the last
  const std::vector<std::vector<EntryFields>> root = {
      {zeta, launchMe, discLabel, Folder("System", 0x0000A020, 2, {10, 310})},
      {alpha, Folder(Win("Игры"), 0x0000A021, 1, {14, 314, 350}), empty}};
  const std::vector<std::vector<EntryFields>> system = {
      {osCode, Folder("Kernel", 0x0000B010, 1, {16, 316}), miscCode}, {banner}};
  const std::vector<std::vector<EntryFields>> kernelFolder = {{kernel}};
  const std::vector<std::vector<EntryFields>> games = {{same, ab, sameAgain}};
  for (uint32_t copy : {2u, 300u}) builder.DirectoryCopy(copy, root);
  for (uint32_t copy : {10u, 310u}) builder.DirectoryCopy(copy, system);
  for (uint32_t copy : {16u, 316u}) builder.DirectoryCopy(copy, kernelFolder);
  for (uint32_t copy : {14u, 314u, 350u}) builder.DirectoryCopy(copy, games);
  disc.folders = {"System", "System/Kernel", "Игры"};
  disc.image = builder.Image();
  return disc;
}

std::string WriteMasteredDisc(const std::string& folder, const std::string& name, bool differingCopy) {
  const std::string path = HostPath(folder + "/" + name);
  WriteBytes(path, MakeMasteredDisc(differingCopy).image);
  return path;
}

}  // namespace zanthrel::testkit
