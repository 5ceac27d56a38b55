#include "cli/json_schema.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace zanthrel::testkit {

namespace {

using nlohmann::json;

enum Kind : unsigned { kNumber = 1, kString = 2, kBool = 4, kArray = 8, kObject = 16, kNull = 32 };

unsigned KindOf(const json& value) {
  if (value.is_number_unsigned() || value.is_number_integer()) return kNumber;
  if (value.is_string()) return kString;
  if (value.is_boolean()) return kBool;
  if (value.is_array()) return kArray;
  if (value.is_object()) return kObject;
  return value.is_null() ? unsigned(kNull) : 0u;
}

struct Field {
  const char* name;
  unsigned kinds;
};

class Checker {
 public:
  // `object` at `where` has exactly `fields`, each of its kinds.
  void Fields(const json& object, const std::string& where, const std::vector<Field>& fields) {
    if (!object.is_object()) return Fail(where + " is no object");
    std::set<std::string> known;
    for (const Field& field : fields) {
      known.insert(field.name);
      if (!object.contains(field.name)) {
        Fail(where + "." + field.name + " is missing");
      } else if ((KindOf(object[field.name]) & field.kinds) == 0) {
        Fail(where + "." + field.name + " is of the wrong kind: " + object[field.name].dump());
      }
    }
    for (const auto& [name, value] : object.items()) {
      if (!known.contains(name)) Fail(where + "." + name + " is not in the schema");
    }
  }

  void OneOf(const json& value, const std::string& where, const std::set<std::string>& allowed) {
    if (!value.is_string() || !allowed.contains(value.get<std::string>())) Fail(where + " is " + value.dump());
  }

  void Each(const json& list, const std::string& where, const std::vector<Field>& fields) {
    if (!list.is_array()) return;
    for (size_t i = 0; i < list.size(); ++i) Fields(list[i], where + "[" + std::to_string(i) + "]", fields);
  }

  void Fail(const std::string& violation) { violations.push_back(violation); }

  std::vector<std::string> violations;
};

const std::vector<Field> kSpan = {{"firstBlock", kNumber}, {"blockCount", kNumber}};
const std::vector<Field> kProblem = {{"path", kString}, {"copy", kNumber}, {"firstBlock", kNumber},
                                     {"blockCount", kNumber}};

// An entry as `list` gives it, and `diff` too.
const std::vector<Field> kListedEntry = {{"path", kString},  {"kind", kString},   {"type", kString},
                                         {"id", kNumber},    {"flags", kNumber},  {"bytes", kNumber},
                                         {"blocks", kNumber}, {"copies", kArray}};

const std::vector<Field> kTrackSectors = {{"track", kNumber}, {"firstSector", kNumber}, {"sectorCount", kNumber}};
const std::vector<Field> kHunks = {{"firstHunk", kNumber}, {"hunkCount", kNumber}};

// verify's check of the image file's own records.
void CheckContainerCheck(Checker& check, const json& object) {
  if (!object.is_object()) return;
  check.Fields(object, "containerCheck",
               {{"checked", kBool}, {"sectors", kNumber}, {"correctedSectors", kArray},
                {"uncorrectableSectors", kArray}, {"failure", kString | kNull}, {"chd", kObject | kNull}});
  check.Each(object.value("correctedSectors", json()), "containerCheck.correctedSectors", kTrackSectors);
  check.Each(object.value("uncorrectableSectors", json()), "containerCheck.uncorrectableSectors", kTrackSectors);
  const json chd = object.value("chd", json());
  if (!chd.is_object()) return;
  check.Fields(chd, "containerCheck.chd",
               {{"hunks", kNumber}, {"wrongCrc", kArray}, {"undecodable", kArray}, {"crcsKept", kBool},
                {"sha1Kept", kBool}, {"sha1Checked", kBool}, {"rawSha1Differs", kBool}, {"sha1Differs", kBool},
                {"metadataBroken", kBool}});
  check.Each(chd.value("wrongCrc", json()), "containerCheck.chd.wrongCrc", kHunks);
  check.Each(chd.value("undecodable", json()), "containerCheck.chd.undecodable", kHunks);
}

void CheckImage(Checker& check, const json& object) {
  const std::string command = object.value("command", "");
  check.OneOf(object.value("command", json()), "command", {"info", "list", "verify"});
  std::vector<Field> fields = {{"schema", kNumber},     {"record", kString},          {"command", kString},
                               {"image", kString},      {"exitStatus", kNumber},      {"error", kObject | kNull},
                               {"container", kObject | kNull}, {"tree", kObject | kNull}};
  if (command != "list") fields.push_back({"volume", kObject | kNull});
  if (command == "info") fields.insert(fields.end(), {{"file", kObject | kNull}, {"tracks", kArray | kNull}});
  if (command == "list") {
    fields.insert(fields.end(), {{"entries", kArray}, {"unreadablePaths", kArray}});
  }
  const bool findings = command == "verify" && object.contains("damaged");
  if (findings) {
    fields.insert(fields.end(), {{"damaged", kBool},
                                 {"unreadable", kArray},
                                 {"corrupt", kArray},
                                 {"differing", kArray},
                                 {"shared", kArray},
                                 {"unclaimed", kArray},
                                 {"correctedSectors", kArray},
                                 {"uncorrectableSectors", kArray},
                                 {"sectorsChecked", kBool},
                                 {"oneCopyFiles", kNumber},
                                 {"unchecked", kArray},
                                 {"containerCheck", kObject}});
  }
  check.Fields(object, "", fields);
  if (!object.contains("exitStatus") || !object["exitStatus"].is_number()) return;
  const int status = object["exitStatus"];
  if (status < 0 || status > 2) check.Fail("exitStatus is " + std::to_string(status));

  const json error = object.value("error", json());
  if (error.is_object()) {
    check.Fields(error, "error", {{"code", kString}, {"message", kString}, {"path", kString}});
    check.OneOf(error["code"], "error.code",
                {"cannot-open", "host-failure", "label-unreadable", "tree-unreadable", "directories-unreadable"});
    if (error.value("code", "") == "cannot-open" && status != 2) check.Fail("cannot-open without exit status 2");
    if (error.value("path", "") != object.value("image", "")) check.Fail("error.path is not the image");
  } else if (status != 0 && !(findings && object.value("damaged", false))) {
    check.Fail("a failure without an error");
  }
  if (status == 0 && !error.is_null()) check.Fail("an error with exit status 0");

  const json container = object.value("container", json());
  if (container.is_object()) {
    check.Fields(container, "container", {{"format", kString}, {"codecs", kArray}, {"track", kNumber | kNull},
                                          {"mode", kString}, {"description", kString}});
    check.OneOf(container["format"], "container.format", {"iso", "gzip", "raw", "cue", "nrg", "chd", "drive"});
    check.OneOf(container["mode"], "container.mode", {"MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352"});
  } else if (status != 2) {
    check.Fail("an image that opened without its container");
  }

  const json volume = object.value("volume", json());
  if (volume.is_object() && command == "info") {
    check.Fields(volume, "volume", {{"blocks", kNumber}, {"blockSize", kNumber}, {"bytes", kNumber},
                                    {"id", kNumber}, {"labelText", kString}, {"comment", kString},
                                    {"rootCopies", kArray}});
  } else if (volume.is_object()) {
    check.Fields(volume, "volume", {{"blocks", kNumber}});
  }
  const json tree = object.value("tree", json());
  if (tree.is_object() && command == "verify") {
    check.Fields(tree, "tree", {{"directories", kNumber}, {"files", kNumber}, {"copiesRead", kNumber}});
  } else if (tree.is_object()) {
    check.Fields(tree, "tree", {{"directories", kNumber}, {"files", kNumber}, {"fileBytes", kNumber},
                                {"read", kBool}, {"unreadableDirectories", kNumber}});
  }
  check.Each(object.value("entries", json()), "entries", kListedEntry);
  if (findings) {
    for (const char* list : {"unreadable", "corrupt", "differing"}) check.Each(object.value(list, json()), list, kProblem);
    for (const char* list : {"unclaimed", "correctedSectors", "uncorrectableSectors"}) {
      check.Each(object.value(list, json()), list, kSpan);
    }
    check.Each(object.value("shared", json()), "shared", {{"firstBlock", kNumber}, {"blockCount", kNumber}, {"paths", kArray}});
    CheckContainerCheck(check, object.value("containerCheck", json()));
  }
  const json file = object.value("file", json());
  if (file.is_object()) check.Fields(file, "file", {{"bytes", kNumber}});
  check.Each(object.value("tracks", json()), "tracks",
             {{"number", kNumber}, {"mode", kString}, {"frames", kNumber}, {"pregap", kNumber},
              {"holdsVolume", kBool}});
  const json tracks = object.value("tracks", json());
  if (tracks.is_array()) {
    for (size_t i = 0; i < tracks.size(); ++i) {
      check.OneOf(tracks[i].value("mode", json()), "tracks[" + std::to_string(i) + "].mode",
                  {"AUDIO", "MODE1/2048", "MODE1/2352", "MODE2/2336", "MODE2/2352"});
    }
  }
}

// Two values, one from each image, each of `kinds`.
void CheckPairOf(Checker& check, const json& value, const std::string& where, unsigned kinds) {
  if (!value.is_array() || value.size() != 2) return check.Fail(where + " is not a pair: " + value.dump());
  for (const json& item : value) {
    if ((KindOf(item) & kinds) == 0) check.Fail(where + " holds " + item.dump());
  }
}

// One line of `diff --json` for one difference.
void CheckDifference(Checker& check, const json& object) {
  const std::string kind = object.value("kind", "");
  check.OneOf(object.value("kind", json()), "kind",
              {"label", "added", "removed", "content", "fields", "moved", "unreadable"});
  std::vector<Field> fields = {{"schema", kNumber}, {"record", kString}, {"command", kString},
                               {"kind", kString},   {"path", kind == "label" ? unsigned(kNull) : unsigned(kString)}};
  if (kind == "label" || kind == "fields") fields.push_back({"fields", kArray});
  if (kind == "added" || kind == "removed") fields.push_back({"entry", kObject});
  if (kind == "content") fields.insert(fields.end(), {{"bytes", kArray}, {"firstDifferentByte", kNumber}});
  if (kind == "content" || kind == "moved") fields.push_back({"copies", kArray});
  if (kind == "unreadable") {
    fields.insert(fields.end(), {{"image", kString}, {"folder", kBool}, {"block", kNumber | kNull}});
  }
  check.Fields(object, "", fields);
  check.OneOf(object.value("command", json()), "command", {"diff"});
  const json changes = object.value("fields", json());
  check.Each(changes, "fields", {{"name", kString}, {"first", kNumber | kString}, {"second", kNumber | kString}});
  if (changes.is_array() && changes.empty()) check.Fail("fields is empty");
  if (kind == "label" && changes.is_array() && changes.size() != 1) check.Fail("a label line names one field");
  if (object.contains("entry")) check.Fields(object["entry"], "entry", kListedEntry);
  if (object.contains("bytes")) CheckPairOf(check, object["bytes"], "bytes", kNumber);
  if (object.contains("copies")) CheckPairOf(check, object["copies"], "copies", kArray);
}

// The last line of `diff --json`: the comparison as a whole.
void CheckComparison(Checker& check, const json& object) {
  check.Fields(object, "", {{"schema", kNumber},        {"record", kString},       {"command", kString},
                            {"images", kArray},         {"exitStatus", kNumber},   {"error", kObject | kNull},
                            {"containers", kArray},     {"equal", kBool},          {"entries", kArray | kNull},
                            {"differences", kObject | kNull}});
  check.OneOf(object.value("command", json()), "command", {"diff"});
  CheckPairOf(check, object.value("images", json()), "images", kString);
  CheckPairOf(check, object.value("containers", json()), "containers", kObject | kNull);
  const json error = object.value("error", json());
  const int status = object.value("exitStatus", -1);
  if (status < 0 || status > 2) check.Fail("exitStatus is " + std::to_string(status));
  if (error.is_object()) {
    check.Fields(error, "error", {{"code", kString}, {"message", kString}, {"path", kString}});
    check.OneOf(error["code"], "error.code", {"cannot-open", "host-failure", "label-unreadable", "tree-unreadable"});
    if (error.value("code", "") == "cannot-open" && status != 2) check.Fail("cannot-open without exit status 2");
    if (!object.value("differences", json()).is_null()) check.Fail("differences counted beside an error");
  } else {
    const json counts = object.value("differences", json());
    check.Fields(counts, "differences",
                 {{"label", kNumber}, {"added", kNumber}, {"removed", kNumber}, {"content", kNumber},
                  {"fields", kNumber}, {"moved", kNumber}, {"unreadable", kNumber}});
    CheckPairOf(check, object.value("entries", json()), "entries", kNumber);
    if (object.value("equal", false) != (status == 0)) check.Fail("equal and exitStatus disagree");
  }
}

}  // namespace

std::vector<std::string> SchemaViolations(const json& object) {
  Checker check;
  if (!object.is_object()) return {"not an object"};
  if (object.value("schema", 0) != 1) check.Fail("schema is not 1");
  const std::string record = object.value("record", "");
  if (record == "image") {
    CheckImage(check, object);
  } else if (record == "difference") {
    CheckDifference(check, object);
  } else if (record == "comparison") {
    CheckComparison(check, object);
  } else if (record == "summary") {
    check.Fields(object, "", {{"schema", kNumber}, {"record", kString}, {"command", kString}, {"images", kNumber},
                              {"succeeded", kNumber}, {"failed", kNumber}, {"unopened", kNumber},
                              {"exitStatus", kNumber}});
  } else {
    check.Fail("record is " + object.value("record", json()).dump());
  }
  return check.violations;
}

std::vector<json> JsonLines(const std::string& output) {
  std::vector<json> lines;
  std::istringstream text(output);
  for (std::string line; std::getline(text, line);) {
    try {
      lines.push_back(json::parse(line));
    } catch (const json::parse_error& error) {
      ADD_FAILURE() << "not a JSON text: " << line << " (" << error.what() << ")";
    }
  }
  if (!output.empty() && !output.ends_with('\n')) ADD_FAILURE() << "the last line has no line break";
  return lines;
}

}  // namespace zanthrel::testkit
