// The discovery INI: the user's own broadcast addresses for the printer
// search, in a file of their own beside the DLL. The broadcast address
// dialog writes it; the search reads it before every sweep, never cached.
#pragma once
#include <cstdint>

namespace discovery {

inline constexpr char kDiscoveryIni[] = "Qvemon.ini";
inline constexpr char kUserDefinedSection[] = "UserDefined";
inline constexpr char kUdpCountKey[] = "UDPCount";

// The dialog keeps at most this many addresses; the search reads up to
// kSearchBroadcastMax, so a hand-edited file can hold more.
inline constexpr int kDialogBroadcastMax = 16;
inline constexpr int kSearchBroadcastMax = 64;

// "UDP%02d": UDP00, UDP01, ... (three digits from 100 on).
inline void UdpKeyName(int index, char out[8]) {
  int i = 0;
  out[i++] = 'U';
  out[i++] = 'D';
  out[i++] = 'P';
  if (index >= 100) out[i++] = static_cast<char>('0' + index / 100 % 10);
  out[i++] = static_cast<char>('0' + index / 10 % 10);
  out[i++] = static_cast<char>('0' + index % 10);
  out[i] = '\0';
}

// An address as the file stores it: "%02x%02x%02x%02x", first octet first.
// `address` holds the first octet in its most significant byte.
inline void FormatBroadcastHex(std::uint32_t address, char out[9]) {
  constexpr char kDigits[] = "0123456789abcdef";
  for (int i = 0; i < 8; ++i) out[i] = kDigits[(address >> (28 - 4 * i)) & 0xF];
  out[8] = '\0';
}

}  // namespace discovery
