// What every hash of 64-byte blocks does with the bytes it is fed:
// complete a partly filled block, hash whole blocks straight from the
// input without copying them, keep the tail for the next call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// fill: the bytes already in block (0 to 63). hashBlocks(data, count)
// hashes count consecutive blocks at data.
template <typename HashBlocks>
inline void feedBlocks(unsigned char (&block)[64], std::uint32_t fill, const unsigned char* input,
                       std::uint32_t length, HashBlocks hashBlocks) {
  if (fill != 0) {
    const std::uint32_t room = 64 - fill;
    if (length < room) {
      std::memcpy(block + fill, input, length);
      return;
    }
    std::memcpy(block + fill, input, room);
    hashBlocks(block, std::size_t{1});
    input += room;
    length -= room;
  }
  const std::uint32_t wholeBlocks = length / 64;
  if (wholeBlocks != 0) hashBlocks(input, std::size_t{wholeBlocks});
  input += std::size_t{wholeBlocks} * 64;
  length %= 64;
  if (length != 0) std::memcpy(block, input, length);
}
