// What the fuzz targets share: a check that stops the run at once, a
// stand-in OEM code page that reaches every UTF-8 length and both surrogate
// halves, and that, like WideCharToMultiByte, fails outright when its output
// does not fit; and SNMP reply slots, which the codec's tests use as well.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "discovery/snmp.h"
#include "ipp/codec.h"

namespace fuzz {

inline void Check(bool ok) {
  if (!ok) __builtin_trap();
}

inline int OemToUtf16(const char* text, std::uint16_t* out, int capacity) {
  int n = 0;
  for (; text[n] != '\0'; ++n) {
    if (n >= capacity) return 0;
    auto b = static_cast<std::uint8_t>(text[n]);
    out[n] = b < 0x80 ? b : b < 0xC0 ? 0x3000 + b : b < 0xE0 ? 0xD800 + b : 0xDC00 + b;
  }
  if (n >= capacity) return 0;
  out[n] = 0;
  return n + 1;
}

// Units below 0x80 take one byte, all others two, as in a double-byte code page.
inline int Utf16ToOem(const std::uint16_t* text, int count, char* out, int capacity) {
  int need = 0;
  for (int i = 0; i < count; ++i) need += text[i] < 0x80 ? 1 : 2;
  if (need > capacity) return 0;
  int n = 0;
  for (int i = 0; i < count; ++i) {
    if (text[i] < 0x80) {
      out[n++] = static_cast<char>(text[i]);
    } else {
      out[n++] = static_cast<char>(0x80 | (text[i] >> 8 & 0x7F));
      out[n++] = static_cast<char>(text[i] & 0xFF);
    }
  }
  return n;
}

inline constexpr ipp::Codepage kCodepage{OemToUtf16, Utf16ToOem};

// Reply slots as the search prepares them: zero-filled, each name and value
// a heap block of exactly its size, so that ASan reports any access past one.
struct SnmpSlots {
  explicit SnmpSlots(std::size_t count) : table(count + 1) {
    for (std::size_t i = 0; i < 2 * count; ++i) texts.emplace_back(new char[kSize]());
    for (std::size_t i = 0; i < count; ++i)
      table[i] = {Name(i), reinterpret_cast<std::uint8_t*>(Value(i)), 0, kNull, 0};
  }
  char* Name(std::size_t i) const { return texts[2 * i].get(); }
  char* Value(std::size_t i) const { return texts[2 * i + 1].get(); }
  // Whether every text the caller may print is terminated.
  bool Terminated() const {
    for (const auto& text : texts)
      if (std::memchr(text.get(), 0, kSize) == nullptr) return false;
    return true;
  }
  static constexpr std::size_t kSize = discovery::kSnmpTextSize;
  static constexpr std::int32_t kNull = discovery::kSnmpNullType;
  std::vector<std::unique_ptr<char[]>> texts;  // name, value, name, ...
  std::vector<discovery::SnmpBinding> table;
};

}  // namespace fuzz
