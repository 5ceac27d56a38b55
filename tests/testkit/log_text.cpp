#include "testkit/log_text.h"

#include "support/cp1251.h"

namespace zanthrel::testkit {

std::string Win(const std::string& utf8) { return Utf8ToCp1251(utf8); }

}  // namespace zanthrel::testkit
