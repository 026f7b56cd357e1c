#include "core/passwords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace core;

TEST(MailScrambling, RoundTripsEveryPrintablePassword) {
  std::string all;
  for (char c = ' '; c <= '~'; ++c) all += c;
  for (std::size_t length = 0; length <= all.size(); length += 7) {
    std::string text = all.substr(all.size() - length);
    std::string buffer = text;
    EXPECT_EQ(Scramble(buffer.data()), text.size());
    if (!text.empty()) {
      EXPECT_NE(buffer, text);
    }
    EXPECT_EQ(Unscramble(buffer.data()), text.size());
    EXPECT_EQ(buffer, text);
  }
}

TEST(MailScrambling, KeyRepeatsAfterFiveCharacters) {
  char text[] = "AAAAAAA";
  Scramble(text);
  // 'A' + 'r', 'o', 'v', 'k', 'a', then 'r', 'o' again.
  const unsigned char expected[] = {0x41 + 'r', 0x41 + 'o', 0x41 + 'v', 0x41 + 'k',
                                    0x41 + 'a', 0x41 + 'r', 0x41 + 'o'};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(static_cast<unsigned char>(text[i]), expected[i]) << i;
}

TEST(MailScrambling, ByteWrappingToZeroEndsTheString) {
  char first[] = "\x8e" "bc";  // 0x8E + 'r' (0x72) = 0x100
  EXPECT_EQ(Scramble(first), 0u);
  char third[] = "ab\x8a";  // 0x8A + 'v' (0x76) = 0x100
  EXPECT_EQ(Scramble(third), 2u);
  char empty[] = "";
  EXPECT_EQ(Scramble(empty), 0u);
}

TEST(IppPassword, StoredAsCountAndOffsetBytes) {
  std::uint8_t stored[kIppPasswordStored];
  ASSERT_EQ(EncodePassword(stored, "secret"), 8u);
  EXPECT_EQ(stored[0], 6);
  EXPECT_EQ(stored[1], 0);
  EXPECT_EQ(stored[2], static_cast<std::uint8_t>('s' - 0x1D));
  char clear[kIppPasswordChars + 1];
  ASSERT_TRUE(DecodePassword(clear, stored, 8));
  EXPECT_STREQ(clear, "secret");

  EXPECT_EQ(EncodePassword(stored, ""), 2u);
  EXPECT_EQ(stored[0] | stored[1], 0);
  ASSERT_TRUE(DecodePassword(clear, stored, 2));
  EXPECT_STREQ(clear, "");
}

TEST(IppPassword, HighBytesWrap) {
  std::uint8_t stored[kIppPasswordStored];
  EncodePassword(stored, "\x01\xff");
  EXPECT_EQ(stored[2], 0x01 - 0x1D + 256);
  char clear[kIppPasswordChars + 1];
  ASSERT_TRUE(DecodePassword(clear, stored, 4));
  EXPECT_STREQ(clear, "\x01\xff");
}

TEST(IppPassword, LongPasswordsAreCutToTheField) {
  std::string longer(100, 'p');
  std::uint8_t stored[kIppPasswordStored];
  EXPECT_EQ(EncodePassword(stored, longer.c_str()), kIppPasswordStored);
  char clear[kIppPasswordChars + 1];
  ASSERT_TRUE(DecodePassword(clear, stored, kIppPasswordStored));
  EXPECT_EQ(std::string(clear), std::string(64, 'p'));
}

TEST(IppPassword, DamagedStoredValuesGiveAnEmptyPassword) {
  char clear[kIppPasswordChars + 1];
  // Count larger than the bytes that follow.
  std::vector<std::uint8_t> shortened = {10, 0, 'a', 'b'};
  EXPECT_FALSE(DecodePassword(clear, shortened.data(), shortened.size()));
  EXPECT_STREQ(clear, "");
  // Count larger than the field, with the bytes present.
  std::vector<std::uint8_t> huge(2 + 300, 'a');
  huge[0] = 300 & 0xFF;
  huge[1] = 300 >> 8;
  EXPECT_FALSE(DecodePassword(clear, huge.data(), huge.size()));
  EXPECT_STREQ(clear, "");
  // What a new port stores: a single zero byte.
  std::uint8_t one = 0;
  EXPECT_FALSE(DecodePassword(clear, &one, 1));
  EXPECT_STREQ(clear, "");
}
