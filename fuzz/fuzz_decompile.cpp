// Any byte string as an image file, plain or gzip-wrapped (the first byte
// chooses), opened and decompiled with both options into a fresh folder.
// Afterwards nothing may stand beside that folder but the image, the log and
// the block map's files, and the current directory is where it was.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "decompile/decompile_run.h"
#include "source/image_source.h"

namespace fs = std::filesystem;

namespace {

// The folder the fuzzer started in, where it keeps its corpus.
const fs::path& StartFolder() {
  static const fs::path folder = fs::current_path();
  return folder;
}

const fs::path& WorkFolder() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "zanthrel-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return fs::path(pattern);
  }();
  return folder;
}

// "image.spy" and the hole dumps "image 0x0000012F.spy".
bool IsBlockMapFile(const std::string& name) {
  if (name == "image.spy") return true;
  return name.size() == 20 && name.starts_with("image 0x") && name.ends_with(".spy") &&
         name.find_first_not_of("0123456789ABCDEFabcdef", 8) == 16;
}

void WriteImage(const fs::path& path, const uint8_t* data, size_t size, bool gzip) {
  if (gzip) {
    gzFile out = gzopen(path.c_str(), "wb1");
    if (size > 0) gzwrite(out, data, unsigned(size));
    gzclose(out);
  } else {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), std::streamsize(size));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  StartFolder();
  const fs::path run = WorkFolder() / "run";
  fs::remove_all(run);
  fs::create_directories(run);
  const fs::path image = run / "image.iso";
  WriteImage(image, data + 1, size - 1, (data[0] & 1) != 0);

  zanthrel::ImageSource source;
  zanthrel::DecompileOptions options;
  options.extractDiscLabel = true;
  options.additionalInfo = true;
  if (zanthrel::OpenImageFile(source, image.string())) {
    zanthrel::DecompileImage(source, (run / "PARCE_image").string(), (run / "image.log").string(),
                             options);
  }
  zanthrel::Close(source);
  if (fs::current_path() != StartFolder()) std::abort();
  for (const auto& entry : fs::directory_iterator(run)) {
    const std::string name = entry.path().filename().string();
    if (name != "image.iso" && name != "image.log" && name != "PARCE_image" && !IsBlockMapFile(name)) {
      std::abort();
    }
  }
  for (const auto& entry : fs::directory_iterator(WorkFolder())) {
    if (entry.path().filename() != "run") std::abort();
  }
  return 0;
}
