#include "compile/folder_names.h"

#include <unordered_set>

#include "compile/entry_names.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/host_names.h"
#include "support/text.h"
#include "volume/entry.h"

namespace zanthrel {

namespace {

constexpr size_t kNameWidth = opera::entry::kNameWidth;

}  // namespace

std::string NumberedName(const std::string& name, unsigned number) {
  const std::string suffix = '~' + std::to_string(number);
  const size_t dot = name.rfind('.');
  std::string extension = dot != std::string::npos && dot > 0 ? name.substr(dot) : "";
  if (extension.size() + suffix.size() >= kNameWidth) extension.clear();
  const std::string stem = name.substr(0, name.size() - extension.size());
  return stem.substr(0, kNameWidth - suffix.size() - extension.size()) + suffix + extension;
}

std::vector<StoredName> StoredNames(const std::vector<FolderItem>& items, bool root, TextEncoding encoding) {
  std::vector<StoredName> names;
  std::unordered_set<std::string> own;  // every child's own name, so that no number takes one
  for (const FolderItem& item : items) {
    StoredName stored;
    const bool asUtf8 = encoding == TextEncoding::kUtf8;
    const std::string windows = asUtf8 ? item.hostName : Utf8ToCp1251(item.hostName);
    if (!asUtf8 && Cp1251ToUtf8(windows) != item.hostName) {
      stored.change = "characters without a Windows-1251 form";
    }
    uint8_t field[kNameWidth] = {};
    MakeEntryName(windows, field);
    stored.name = FieldText(field, kNameWidth);
    if (DecodeHostName(windows).size() > kNameWidth) stored.change = "cut to 32 bytes";
    own.insert(stored.name);
    names.push_back(std::move(stored));
  }
  std::unordered_set<std::string> taken;
  for (StoredName& stored : names) {
    // Decompile takes a root file of the label entry's name for the label itself.
    const bool reserved = root && IsDiscLabelName(stored.name);
    if (reserved || taken.count(stored.name) != 0) {
      const std::string first = stored.name;
      unsigned number = 1;
      do {
        stored.name = NumberedName(first, number++);
      } while (taken.count(stored.name) != 0 || own.count(stored.name) != 0 ||
               (root && IsDiscLabelName(stored.name)));
      stored.change = reserved ? "the volume label's name" : "another child has the name";
    }
    taken.insert(stored.name);
  }
  return names;
}

}  // namespace zanthrel
