// The JSON schema of docs/json.md as the tests read it: which fields each
// object of `info`, `list`, `verify` and `diff --json` has, and what kind of value
// each holds.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace zanthrel::testkit {

// What in `object`, one line of the output, breaks the schema: missing
// fields, fields of the wrong kind, fields that it does not name, codes and
// names that it does not list. Empty for an object that keeps it.
std::vector<std::string> SchemaViolations(const nlohmann::json& object);

// Each line of `output` parsed strictly; a line that is no JSON text fails the test that reads it.
std::vector<nlohmann::json> JsonLines(const std::string& output);

}  // namespace zanthrel::testkit
