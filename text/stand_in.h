// A "?" of the output that stands for a character the code page lacks:
// where it lies, and the character a program that pastes Unicode text is
// given in its place. Only the line pass makes them, only for paths that
// hold such a "?", so a list of names the code page spells has none.
#pragma once

#include <cstddef>
#include <vector>

struct StandIn {
  std::size_t offset;  // byte of the "?" in the output text
  char16_t unit;       // the UTF-16 unit it stands for; an emoji's two "?" are its two halves
};

using StandIns = std::vector<StandIn>;
