#include "write/huffman_encoder.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <utility>

namespace zanthrel {

namespace {
constexpr int kMaxLength = 32;
}  // namespace

HuffmanEncoder::HuffmanEncoder(uint32_t symbols, int maxBits)
    : maxBits_(maxBits), counts_(symbols, 0), lengths_(symbols, 0), codes_(symbols, 0) {}

// Plain Huffman lengths: the two lightest trees merge until one is left.
void HuffmanEncoder::BuildLengths(const std::vector<uint64_t>& weights) {
  struct Node {
    int parent = -1;
  };
  std::vector<Node> nodes(weights.size());
  using Item = std::pair<uint64_t, int>;
  std::priority_queue<Item, std::vector<Item>, std::greater<Item>> lightest;
  for (size_t symbol = 0; symbol < weights.size(); ++symbol) {
    if (weights[symbol] > 0) lightest.push({weights[symbol], int(symbol)});
  }
  while (lightest.size() > 1) {
    const Item a = lightest.top();
    lightest.pop();
    const Item b = lightest.top();
    lightest.pop();
    const int joined = int(nodes.size());
    nodes.push_back({});
    nodes[size_t(a.second)].parent = joined;
    nodes[size_t(b.second)].parent = joined;
    lightest.push({a.first + b.first, joined});
  }
  for (size_t symbol = 0; symbol < weights.size(); ++symbol) {
    int depth = 0;
    if (weights[symbol] > 0) {
      for (int node = int(symbol); nodes[size_t(node)].parent >= 0; node = nodes[size_t(node)].parent) ++depth;
    }
    lengths_[symbol] = uint8_t(std::min(depth, kMaxLength));
  }
}

void HuffmanEncoder::BuildCode() {
  // A code needs two symbols at least: the decoder takes only complete codes.
  std::vector<uint64_t> weights = counts_;
  for (size_t symbol = 0; std::count_if(weights.begin(), weights.end(), [](uint64_t w) { return w > 0; }) < 2;
       ++symbol) {
    if (weights[symbol] == 0) weights[symbol] = 1;
  }
  // Flattening the weights shortens the longest codes until they fit.
  for (BuildLengths(weights); *std::max_element(lengths_.begin(), lengths_.end()) > maxBits_;
       BuildLengths(weights)) {
    for (uint64_t& weight : weights) {
      if (weight > 0) weight = weight / 2 + 1;
    }
  }
  // Canonical codes as the decoder counts them, from the longest length down.
  uint32_t next[kMaxLength + 1] = {};
  for (uint8_t length : lengths_) ++next[length];
  uint32_t start = 0;
  for (int length = kMaxLength; length > 0; --length) {
    const uint32_t end = start + next[length];
    next[length] = start;
    start = end / 2;
  }
  for (size_t symbol = 0; symbol < lengths_.size(); ++symbol) {
    if (lengths_[symbol] > 0) codes_[symbol] = next[lengths_[symbol]]++;
  }
}

// Each length in 4 bits; 1 escapes: "1 1" is a length of 1, "1 w c" gives
// c + 3 symbols the length w.
void HuffmanEncoder::WriteRunLengthTree(BitWriter& bits) const {
  const int fieldBits = maxBits_ >= 16 ? 5 : maxBits_ >= 8 ? 4 : 3;
  const size_t longestRun = (size_t(1) << fieldBits) - 1 + 3;
  for (size_t symbol = 0; symbol < lengths_.size();) {
    const uint8_t length = lengths_[symbol];
    size_t run = 1;
    while (symbol + run < lengths_.size() && lengths_[symbol + run] == length && run < longestRun) ++run;
    if (length != 1 && run >= 3) {
      bits.Write(1, fieldBits);
      bits.Write(length, fieldBits);
      bits.Write(uint32_t(run - 3), fieldBits);
      symbol += run;
    } else if (length == 1) {
      bits.Write(1, fieldBits);
      bits.Write(1, fieldBits);
      ++symbol;
    } else {
      bits.Write(length, fieldBits);
      ++symbol;
    }
  }
}

}  // namespace zanthrel
