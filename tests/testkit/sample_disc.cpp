#include "testkit/sample_disc.h"

#include "testkit/image_builder.h"
#include "testkit/log_text.h"

namespace zanthrel::testkit {

SampleDisc MakeSampleDisc() {
  ImageBuilder builder(8);
  builder.Label({});
  builder.Directory(1, {FileEntry("LaunchMe", 3, 5000), DirEntry(Win("Игры"), 2), LabelEntry()});
  builder.Directory(2, {FileEntry("a:b", 6, 10)});
  const Bytes data = Pattern(4 * 2048, 11);
  builder.Data(3, data);
  return {builder.Image(), Slice(data, 0, 5000), Slice(data, 3 * 2048, 10)};
}

}  // namespace zanthrel::testkit
