#include "discovery/search.h"

#include "core/text.h"
#include "discovery/discovery_ini.h"

namespace discovery {
namespace {

constexpr int kRequestBuffer = 2048;
constexpr int kHardwareSlot = 3;
constexpr int kDescriptionSlot = 0;

// The five values asked of every agent, in request order. Only the first
// (the maker test and the description) and the fourth (one row per
// hardware address) are used; the rest help an agent's GetNext walk land on
// the printer's own interface and device.
constexpr const char* kRequestNames[] = {
    "1.3.6.1.2.1.1.1",         // sysDescr
    "1.3.6.1.2.1.4.20.1.1",    // ipAdEntAddr
    "1.3.6.1.2.1.1.2",         // sysObjectID
    "1.3.6.1.2.1.2.2.1.6",     // ifPhysAddress
    "1.3.6.1.2.1.25.3.2.1.3",  // hrDeviceDescr
};
constexpr int kRequestSlots = 5;

// The user's value for one broadcast address. Anything that is not a
// hexadecimal number, empty included, falls back to the limited broadcast:
// a damaged entry then costs a duplicate request, never a stray one.
std::uint32_t BroadcastFromHex(const char* text) {
  if (text[0] == '\0') return 0xFFFFFFFFu;
  return static_cast<std::uint32_t>(core::ParseNumber(text, 16));
}

bool SameHardware(const std::uint8_t* a, const std::uint8_t* b) {
  for (int i = 0; i < 6; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace

bool ContainsNoCase(const char* text, const char* pattern) {
  std::size_t length = core::TextLength(pattern);
  for (const char* start = text;; ++start) {
    if (core::EqualNoCaseN(start, pattern, length)) return true;
    if (*start == '\0') return false;
  }
}

void ResultColumnText(const FoundPrinter& entry, int column, char* out, int size) {
  if (size <= 0) return;
  if (column == 0) {
    core::CopyText(out, static_cast<std::size_t>(size), entry.address);
  } else if (column == 1) {
    constexpr char kDigits[] = "0123456789abcdef";
    core::TextWriter writer{out, static_cast<std::size_t>(size - 1)};
    for (int i = 0; i < 6; ++i) {
      if (i > 0) writer.Char(':');
      writer.Char(kDigits[entry.hardware[i] >> 4]);
      writer.Char(kDigits[entry.hardware[i] & 0xF]);
    }
    out[writer.at] = '\0';
  } else {
    core::CopyText(out, static_cast<std::size_t>(size), entry.description);
  }
}

void LoadUserBroadcasts(const char* path, UserBroadcasts* broadcasts) {
  for (std::uint32_t& address : broadcasts->addresses) address = 0;
  broadcasts->count = 0;
  int wanted = static_cast<int>(GetPrivateProfileIntA(kUserDefinedSection, kUdpCountKey, 0, path));
  for (int i = 0; i < wanted && broadcasts->count < kSearchBroadcastMax; ++i) {
    char key[8];
    UdpKeyName(i, key);
    char value[32];
    GetPrivateProfileStringA(kUserDefinedSection, key, "", value, sizeof(value), path);
    broadcasts->addresses[broadcasts->count++] = htonl(BroadcastFromHex(value));
  }
}

void SendSearchRequest(const char* community, SOCKET socket, const UserBroadcasts& broadcasts) {
  SnmpBinding slots[kRequestSlots + 1] = {};
  for (int i = 0; i < kRequestSlots; ++i) {
    slots[i].name = const_cast<char*>(kRequestNames[i]);
    slots[i].value_type = kSnmpNullType;
  }
  std::uint8_t request[kRequestBuffer];
  int length = BuildSnmpRequest(request, sizeof(request), community, slots, kSnmpGetNextRequest);
  if (length < 1) return;
  BOOL broadcast = TRUE;
  if (setsockopt(socket, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                 sizeof(broadcast)) == SOCKET_ERROR)
    return;
  sockaddr_in target = {};
  target.sin_family = AF_INET;
  target.sin_port = htons(kSnmpPort);
  target.sin_addr.s_addr = htonl(INADDR_BROADCAST);
  auto send_to = [&](std::uint32_t address) {
    target.sin_addr.s_addr = address;
    return sendto(socket, reinterpret_cast<const char*>(request), length, 0,
                  reinterpret_cast<const sockaddr*>(&target), sizeof(target));
  };
  if (send_to(htonl(INADDR_BROADCAST)) == SOCKET_ERROR) return;
  for (int i = 0; i < broadcasts.count && i < kSearchBroadcastMax; ++i)
    send_to(broadcasts.addresses[i]);
}

SOCKET StartPrinterSearch(HWND dialog, SearchSession* session) {
  SOCKET udp = socket(AF_INET, SOCK_DGRAM, 0);
  session->socket = udp;
  if (udp != INVALID_SOCKET) {
    sockaddr_in local = {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(udp, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != SOCKET_ERROR)
      WSAAsyncSelect(udp, dialog, kSearchSocketEvent, FD_READ);
  }
  LoadUserBroadcasts(session->ini_path, &session->broadcasts);
  if (udp != INVALID_SOCKET) SendSearchRequest(kSearchCommunity, udp, session->broadcasts);
  return udp;
}

int HandleSearchReply(SearchSession* session) {
  if (session->socket == INVALID_SOCKET || session->results == nullptr) return -1;
  char names[kRequestSlots][kSnmpTextSize] = {};
  std::uint8_t values[kRequestSlots][kSnmpTextSize] = {};
  SnmpBinding slots[kRequestSlots + 1] = {};
  for (int i = 0; i < kRequestSlots; ++i) {
    slots[i].name = names[i];
    slots[i].value = values[i];
    slots[i].value_type = kSnmpNullType;
  }
  std::uint8_t datagram[kDatagramMax + 1];
  sockaddr_in from = {};
  int from_size = sizeof(from);
  // A datagram longer than any answer to our request fails the receive
  // (WSAEMSGSIZE) and is dropped with the rest.
  int got = recvfrom(session->socket, reinterpret_cast<char*>(datagram), kDatagramMax, 0,
                     reinterpret_cast<sockaddr*>(&from), &from_size);
  if (got == SOCKET_ERROR || got <= 0) return -1;
  if (DecodeSnmpResponse(datagram, static_cast<std::size_t>(got), slots) != 0) return -1;
  return AddFoundPrinter(session, slots, from.sin_addr.s_addr);
}

int AddFoundPrinter(SearchSession* session, const SnmpBinding* slots, std::uint32_t sender) {
  ResultTable* table = session->results;
  if (table->count >= kFoundMax || sender == 0) return -1;
  const char* description = slots[kDescriptionSlot].name != nullptr
                                ? reinterpret_cast<const char*>(slots[kDescriptionSlot].value)
                                : "";
  if (!ContainsNoCase(description, kMakerName)) return -1;
  const std::uint8_t* hardware = slots[kHardwareSlot].value;
  for (std::uint32_t i = 0; i < table->count; ++i)
    if (SameHardware(table->entries[i].hardware, hardware)) return -1;
  int index = static_cast<int>(table->count);
  FoundPrinter& entry = table->entries[index];
  for (int i = 0; i < 6; ++i) entry.hardware[i] = hardware[i];
  in_addr from;
  from.s_addr = sender;
  core::CopyText(entry.address, sizeof(entry.address), inet_ntoa(from));
  core::CopyText(entry.description, sizeof(entry.description), description);
  table->count++;
  return index;
}

}  // namespace discovery
