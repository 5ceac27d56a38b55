// Progress of a long run: work done against the work expected. An empty
// callback costs one test per report.
#pragma once

#include <cstdint>
#include <functional>

namespace zanthrel {

using Progress = std::function<void(uint64_t done, uint64_t total)>;

}  // namespace zanthrel
