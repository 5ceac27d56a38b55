#include "workflow/output_guard.h"

#include <vector>

#include "source/containers/cue_container.h"
#include "support/text.h"

namespace zanthrel {

namespace {

Status RefuseExisting(Host& host, const std::string& output, ReplaceRule rule) {
  if (rule != ReplaceRule::kRefuseExisting || !host.EntryTypeOf(output)) return {};
  return Error{output + ": exists already; use -f or --force to replace it"};
}

}  // namespace

Status CheckBesideOutput(Host& host, const std::string& path, ReplaceRule named) {
  if (named != ReplaceRule::kAskedByDialog || !host.EntryTypeOf(path)) return {};
  return Error{path + ": exists already beside the image chosen; it is not replaced unasked"};
}

Status CheckCompileOutput(Host& host, const std::string& folder, const std::string& image,
                          ReplaceRule rule) {
  if (Status output = CheckImageOutput(host, image); !output) return output;
  if (rule == ReplaceRule::kAskedByDialog) return {};
  // The image may not exist yet, so its folder stands for it. A folder that
  // cannot be resolved fails the compile later, with its reason.
  const Result<std::string> source = host.RealPath(folder);
  const Result<std::string> holder = host.RealPath(ParentFolderOf(image));
  if (source && holder) {
    const std::string resolved = JoinPath(*holder, FileNameOf(image));
    if (LiesBelow(resolved, *source)) {
      return Error{image + ": lies inside the folder being compiled (" + *source +
                   "); the image is written outside it, even with --force"};
    }
  }
  return RefuseExisting(host, image, rule);
}

Status CheckConvertOutput(Host& host, const std::string& input, const std::string& output,
                          ReplaceRule rule) {
  if (Status checked = CheckImageOutput(host, output); !checked) return checked;
  // Only an output that exists can be a file being read.
  if (const Result<PathInfo> written = host.InfoOf(output)) {
    const Result<PathInfo> read = host.InfoOf(input);
    if (read && read->identity == written->identity) {
      return Error{output + ": is the image being converted; it is never written over, even with --force"};
    }
    for (const std::string& track : CueSheetFiles(host, input)) {
      const Result<PathInfo> named = host.InfoOf(track);
      if (named && named->identity == written->identity) {
        return Error{output + ": is a file that the cue sheet " + input +
                     " names; it is never written over, even with --force"};
      }
    }
  }
  return RefuseExisting(host, output, rule);
}

}  // namespace zanthrel
