#include "compile/cd_capacity.h"

namespace zanthrel {

std::optional<std::string> CdCapacityWarning(const std::string& imagePath, uint32_t blockCount) {
  if (blockCount <= kBlocksOf74MinuteCd) return std::nullopt;
  const bool past80 = blockCount > kBlocksOf80MinuteCd;
  return imagePath + ": " + std::to_string(blockCount) + " blocks, more than " +
         (past80 ? "an 80-minute" : "a 74-minute") + " CD holds (" +
         std::to_string(past80 ? kBlocksOf80MinuteCd : kBlocksOf74MinuteCd) + " blocks)";
}

}  // namespace zanthrel
