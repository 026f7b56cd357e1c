#include "core/passwords.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

using namespace core;

namespace {

std::string Stored(const std::string& clear) {
  std::uint8_t stored[kIppPasswordStored];
  return std::string(reinterpret_cast<char*>(stored), EncodePassword(stored, clear.c_str()));
}

std::string Decoded(const std::string& stored, bool ok = true) {
  char clear[kIppPasswordChars + 1];
  std::memset(clear, 'x', sizeof(clear));
  std::vector<std::uint8_t> exact(stored.begin(), stored.end());  // ASan sees an over-read
  EXPECT_EQ(DecodePassword(clear, exact.data(), exact.size()), ok) << stored.size();
  return clear;
}

}  // namespace

// The bytes are what earlier versions stored in the registry.
TEST(MailScrambling, AddsItsFiveCharacterKeyAndRoundTripsEveryPrintablePassword) {
  char text[] = "AAAAAAA";
  EXPECT_EQ(Scramble(text), 7u);
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(static_cast<unsigned char>(text[i]), 'A' + "rovkaro"[i]) << i;
  std::string all;
  for (char c = ' '; c <= '~'; ++c) all += c;
  for (std::size_t length = 0; length <= all.size(); length += 7) {
    std::string clear = all.substr(all.size() - length), buffer = clear;
    EXPECT_EQ(Scramble(buffer.data()), clear.size());
    EXPECT_EQ(Unscramble(buffer.data()), clear.size());
    EXPECT_EQ(buffer, clear);
  }
  // A byte that wraps to zero ends the string.
  char first[] = "\x8e" "bc", third[] = "ab\x8a";  // 0x8E + 'r', 0x8A + 'v': 0x100
  EXPECT_EQ(Scramble(first), 0u);
  EXPECT_EQ(Scramble(third), 2u);
}

TEST(IppPassword, StoredAsCountAndOffsetBytesAndDamageReadsAsEmpty) {
  const std::tuple<std::string, std::string, std::string> cases[] = {  // clear, stored, read back
      {"secret", std::string("\6\0VHFUHW", 8), "secret"}, {"", std::string(2, '\0'), ""},
      {"\x01\xff", std::string("\2\0\xE4\xE2", 4), "\x01\xff"},  // high bytes wrap
      {std::string(100, 'p'), std::string("@\0", 2) + std::string(64, 'S'), std::string(64, 'p')}};
  for (const auto& [clear, stored, back] : cases) {
    EXPECT_EQ(Stored(clear), stored);
    EXPECT_EQ(Decoded(stored), back);
  }
  // A count beyond the bytes that follow, one beyond the field, and what a
  // new port stores: a single zero byte.
  for (const std::string& damaged : {std::string("\3\0ab", 4), std::string(1, '\0'),
                                     std::string("\x2C\x01", 2) + std::string(300, 'a')})
    EXPECT_EQ(Decoded(damaged, false), "") << damaged.size();
}
