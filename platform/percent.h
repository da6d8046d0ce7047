#pragma once

// Percent escapes ("%41"), as addresses and form data write bytes that may not stand as they are.

#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

// The byte of the escape whose "%" stands at text[at]: the value of the two hexadecimal digits
// (either case) after it; nullopt when two such digits do not follow.
constexpr std::optional<char> DecodePercentEscape(std::string_view text, std::size_t at) {
  const auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (at + 2 >= text.size()) return std::nullopt;
  const int high = digit(text[at + 1]);
  const int low = digit(text[at + 2]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<char>(high * 16 + low);
}

}  // namespace platform
