// Reversible byte scrambling of the passwords kept in the registry. It only
// keeps them from being read at a glance; it is not encryption.
#pragma once
#include <cstddef>
#include <cstdint>

namespace core {

// E-mail ports ("AuthPass"): each byte plus (or minus) the key "rovka",
// used cyclically. Return the string length afterwards, counted afresh: a
// byte that wraps to zero ends the string there.
std::size_t Scramble(char* text);
std::size_t Unscramble(char* text);

// IPP ports ("PassWord"): a 16-bit little-endian count, then each byte less
// 0x1D. The field in memory holds 64 characters.
inline constexpr std::size_t kIppPasswordChars = 64;
inline constexpr std::size_t kIppPasswordStored = 2 + kIppPasswordChars;

// Writes the stored form; returns its size (2 + n). Passwords longer than
// the in-memory field are cut to it, so what is stored can be loaded again.
std::size_t EncodePassword(std::uint8_t out[kIppPasswordStored], const char* text);

// Fills out (kIppPasswordChars + 1 bytes) with the clear text. A stored value
// shorter than its count says, or longer than the field, is not trusted: the
// password comes out empty and false is returned.
bool DecodePassword(char out[kIppPasswordChars + 1], const std::uint8_t* stored, std::size_t size);

}  // namespace core
