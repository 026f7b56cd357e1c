#include "core/passwords.h"

#include "core/text.h"

namespace core {
namespace {

constexpr char kMailKey[] = "rovka";
constexpr std::uint8_t kIppOffset = 0x1D;

std::size_t Shift(char* text, int direction) {
  std::size_t n = TextLength(text);
  for (std::size_t i = 0; i < n; ++i) {
    auto key = static_cast<std::uint8_t>(kMailKey[i % 5]);
    auto byte = static_cast<std::uint8_t>(text[i]);
    text[i] = static_cast<char>(direction > 0 ? byte + key : byte - key);
  }
  return TextLength(text);
}

}  // namespace

std::size_t Scramble(char* text) { return Shift(text, +1); }
std::size_t Unscramble(char* text) { return Shift(text, -1); }

std::size_t EncodePassword(std::uint8_t out[kIppPasswordStored], const char* text) {
  std::size_t n = TextLength(text);
  if (n > kIppPasswordChars) n = kIppPasswordChars;
  out[0] = static_cast<std::uint8_t>(n & 0xFF);
  out[1] = static_cast<std::uint8_t>(n >> 8);
  for (std::size_t i = 0; i < n; ++i)
    out[2 + i] = static_cast<std::uint8_t>(static_cast<std::uint8_t>(text[i]) - kIppOffset);
  return 2 + n;
}

bool DecodePassword(char out[kIppPasswordChars + 1], const std::uint8_t* stored, std::size_t size) {
  for (std::size_t i = 0; i <= kIppPasswordChars; ++i) out[i] = '\0';
  if (size < 2) return false;
  std::size_t n = stored[0] | (static_cast<std::size_t>(stored[1]) << 8);
  if (n > kIppPasswordChars || n > size - 2) return false;
  for (std::size_t i = 0; i < n; ++i)
    out[i] = static_cast<char>(static_cast<std::uint8_t>(stored[2 + i] + kIppOffset));
  return true;
}

}  // namespace core
