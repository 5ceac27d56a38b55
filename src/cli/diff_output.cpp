#include "cli/diff_output.h"

#include "cli/json_output.h"
#include "opera/records.h"
#include "support/cp1251.h"
#include "support/text.h"
#include "workflow/inspect_job.h"

namespace zanthrel::cli {

namespace {

using nlohmann::json;

// Fixed: the first words, the field names and the JSON's fields are what
// scripts read, and what docs/json.md promises for this schema.

const char* KindWord(DifferenceKind kind) {
  switch (kind) {
    case DifferenceKind::kLabel:
      return "label";
    case DifferenceKind::kAdded:
      return "added";
    case DifferenceKind::kRemoved:
      return "removed";
    case DifferenceKind::kContent:
      return "content";
    case DifferenceKind::kFields:
      return "fields";
    case DifferenceKind::kMoved:
      return "moved";
    case DifferenceKind::kUnreadable:
      break;
  }
  return "unreadable";
}

std::string Number(uint64_t value) { return UnsignedDecimal64(value); }

// Ids and flags read best in hex, as the log gives them; counts in decimal.
bool ShownInHex(const std::string& field) {
  return field == "flags" || field == "id" || field == "volumeId" || field == "rootId";
}

std::string ValueText(const FieldChange& change, bool second) {
  if (change.text) {
    const std::string& text = second ? change.secondText : change.firstText;
    return "\"" + EscapeControls(change.name == "type" ? TypeText(text) : Cp1251ToUtf8(text)) + "\"";
  }
  const uint64_t value = second ? change.second : change.first;
  return ShownInHex(change.name) ? Hex8(uint32_t(value)) : Number(value);
}

std::string ChangesText(const std::vector<FieldChange>& changes) {
  std::string text;
  for (const FieldChange& change : changes) {
    text += (text.empty() ? "" : ", ") + change.name + " " + ValueText(change, false) + " -> " +
            ValueText(change, true);
  }
  return text;
}

std::string BlocksText(const std::vector<uint32_t>& copies) {
  if (copies.empty()) return "no block";
  std::string text = copies.size() == 1 ? "block " : "blocks ";
  for (size_t i = 0; i < copies.size(); ++i) text += (i == 0 ? "" : ", ") + Number(copies[i]);
  return text;
}

std::string EntryText(const ListedEntry& entry) {
  const bool folder = (entry.flags & opera::kDirectoryBit) != 0;
  return std::string(folder ? "folder" : "file, " + Number(entry.fileBytes) + " bytes") + ", at " +
         BlocksText(entry.copyBlocks);
}

std::string DetailsText(const Difference& difference, const std::string (&images)[2]) {
  switch (difference.kind) {
    case DifferenceKind::kLabel:
      // The field is named in the path's place.
      return ValueText(difference.fields.front(), false) + " -> " + ValueText(difference.fields.front(), true);
    case DifferenceKind::kFields:
      return ChangesText(difference.fields);
    case DifferenceKind::kAdded:
    case DifferenceKind::kRemoved:
      return EntryText(*difference.entry);
    case DifferenceKind::kContent: {
      std::string text = "content differs from byte " + Number(difference.firstDifferentByte) + " (" +
                         Number(difference.firstBytes) + " -> " + Number(difference.secondBytes) + " bytes)";
      if (difference.firstCopies != difference.secondCopies) {
        text += ", from " + BlocksText(difference.firstCopies) + " to " + BlocksText(difference.secondCopies);
      }
      return text;
    }
    case DifferenceKind::kMoved:
      return "from " + BlocksText(difference.firstCopies) + " to " + BlocksText(difference.secondCopies);
    case DifferenceKind::kUnreadable:
      break;
  }
  const std::string& image = images[difference.side == DiffSide::kFirst ? 0 : 1];
  return "in " + EscapeControls(image) + ": " +
         (difference.folder ? std::string("folder, no copy of it reads; what it holds is not compared")
                            : "block " + Number(difference.fileBlock) + " of the file, no copy of it reads");
}

std::string FirstWord(DifferenceKind kind) {
  const bool changed = kind == DifferenceKind::kContent || kind == DifferenceKind::kFields;
  return changed ? "changed" : KindWord(kind);
}

json FieldsJson(const std::vector<FieldChange>& changes) {
  json list = json::array();
  for (const FieldChange& change : changes) {
    if (change.text) {
      const auto shown = [&change](const std::string& text) {
        return change.name == "type" ? TypeText(text) : Cp1251ToUtf8(text);
      };
      list.push_back({{"name", change.name}, {"first", shown(change.firstText)}, {"second", shown(change.secondText)}});
    } else {
      list.push_back({{"name", change.name}, {"first", change.first}, {"second", change.second}});
    }
  }
  return list;
}

json DifferenceJson(const Difference& difference, const std::string (&images)[2]) {
  json object = {{"schema", kJsonSchema},
                 {"record", "difference"},
                 {"command", "diff"},
                 {"kind", KindWord(difference.kind)},
                 {"path", difference.kind == DifferenceKind::kLabel ? json(nullptr)
                                                                     : json(Cp1251ToUtf8(difference.path))}};
  switch (difference.kind) {
    case DifferenceKind::kLabel:
    case DifferenceKind::kFields:
      object["fields"] = FieldsJson(difference.fields);
      break;
    case DifferenceKind::kAdded:
    case DifferenceKind::kRemoved:
      object["entry"] = ListedJson(*difference.entry, TextEncoding::kCp1251);
      break;
    case DifferenceKind::kContent:
      object["bytes"] = {difference.firstBytes, difference.secondBytes};
      object["firstDifferentByte"] = difference.firstDifferentByte;
      object["copies"] = {difference.firstCopies, difference.secondCopies};
      break;
    case DifferenceKind::kMoved:
      object["copies"] = {difference.firstCopies, difference.secondCopies};
      break;
    case DifferenceKind::kUnreadable:
      object["image"] = images[difference.side == DiffSide::kFirst ? 0 : 1];
      object["folder"] = difference.folder;
      object["block"] = difference.folder ? json(nullptr) : json(difference.fileBlock);
      break;
  }
  return object;
}

}  // namespace

std::string DiffText(const VolumeDiff& diff, const std::string (&images)[2]) {
  std::string text;
  for (const Difference& difference : diff.differences) {
    const std::string where =
        difference.kind == DifferenceKind::kLabel ? difference.fields.front().name : Cp1251ToUtf8(difference.path);
    text += FirstWord(difference.kind) + "\t" + EscapeControls(where) + "\t" + DetailsText(difference, images) + "\n";
  }
  return text;
}

std::string DiffSummaryText(const VolumeDiff& diff) {
  const uint64_t changed = diff.Count(DifferenceKind::kContent) + diff.Count(DifferenceKind::kFields);
  const uint64_t unreadable = diff.Count(DifferenceKind::kUnreadable);
  const uint64_t label = diff.Count(DifferenceKind::kLabel);
  std::string text = Number(label) + (label == 1 ? " label field, " : " label fields, ") +
                     Number(diff.Count(DifferenceKind::kAdded)) + " added, " +
                     Number(diff.Count(DifferenceKind::kRemoved)) + " removed, " + Number(changed) + " changed, " +
                     Number(diff.Count(DifferenceKind::kMoved)) + " moved, " + Number(unreadable) + " unreadable: ";
  if (diff.differences.empty()) return text + "the images are equal\n";
  if (unreadable == diff.differences.size()) return text + "no difference found, but not all could be compared\n";
  return text + "the images differ\n";
}

std::string DiffJsonLines(const VolumeDiff& diff, const std::string (&images)[2]) {
  std::string lines;
  for (const Difference& difference : diff.differences) lines += JsonLine(DifferenceJson(difference, images));
  return lines;
}

json ComparisonJson(const std::string (&images)[2], const DiffImagesReport& report, const ImageOutcome& outcome,
                    const std::string& errorImage) {
  const VolumeDiff& diff = report.diff;
  const bool compared = outcome.error.empty();
  json counts = nullptr;
  if (compared) {
    counts = json::object();
    for (const DifferenceKind kind : {DifferenceKind::kLabel, DifferenceKind::kAdded, DifferenceKind::kRemoved,
                                      DifferenceKind::kContent, DifferenceKind::kFields, DifferenceKind::kMoved,
                                      DifferenceKind::kUnreadable}) {
      counts[KindWord(kind)] = diff.Count(kind);
    }
  }
  return {{"schema", kJsonSchema},
          {"record", "comparison"},
          {"command", "diff"},
          {"images", {images[0], images[1]}},
          {"exitStatus", outcome.status},
          {"error", outcome.error.empty() ? json(nullptr)
                                          : json{{"code", outcome.error},
                                                 {"message", outcome.message},
                                                 {"path", errorImage}}},
          {"containers", {ContainerJson(report.opening[0]), ContainerJson(report.opening[1])}},
          {"equal", compared && diff.differences.empty()},
          {"entries", compared ? json{diff.entries[0], diff.entries[1]} : json(nullptr)},
          {"differences", counts}};
}

}  // namespace zanthrel::cli
