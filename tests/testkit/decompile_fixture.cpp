#include "testkit/decompile_fixture.h"

#include <filesystem>

#include "source/image_source.h"

namespace zanthrel::testkit {

namespace fs = std::filesystem;

DecompileRunResult DecompileFixture::Run(const Bytes& image, bool extractDiscLabel,
                                      bool additionalInfo, const std::string& file, bool gzip) {
  gzip ? WriteGzip(temp_ / file, image) : WriteBytes(temp_ / file, image);
  DecompileRunResult result;
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, file));
  const std::string base = file.substr(0, file.find('.'));
  DecompileOptions options;
  options.extractDiscLabel = extractDiscLabel;
  options.additionalInfo = additionalInfo;
  const DecompileResult run = DecompileImage(source, "PARCE_" + base, base + ".log", options);
  result.ok = run.Succeeded();
  result.outcome = run.outcome;
  result.renamed = run.renamed;
  result.damaged = run.damaged;
  if (fs::is_regular_file(temp_ / (base + ".log"))) result.log = ReadText(temp_ / (base + ".log"));
  return result;
}

std::string DecompileFixture::Root() const {
  return (fs::canonical(temp_.Path()) / "PARCE_disc").string();
}

std::string DecompileFixture::Beside(const std::string& name) const {
  return HostPath(Utf8Of(fs::canonical(temp_.Path())) + "/" + name);
}

std::map<std::string, std::string> DecompileFixture::Tree() const {
  return TreeOf(temp_.Path().string());
}

}  // namespace zanthrel::testkit
