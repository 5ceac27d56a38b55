// Expected log texts for tests: UTF-8 literals as the log's Windows-1251 bytes.
#pragma once

#include <string>

namespace zanthrel::testkit {

std::string Win(const std::string& utf8);

}  // namespace zanthrel::testkit
