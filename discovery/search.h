// The printer search: one SNMPv1 GetNextRequest to the limited broadcast
// address and to the user's own broadcast addresses, and every answer from
// a Harlune printer turned into a row of the search dialog's list. No
// time-out, no retries: one sweep when the dialog opens and one per press
// of its search button; answers are listed as they arrive.
#pragma once
#include <windows.h>
#include <winsock.h>

#include <cstdint>

#include "discovery/snmp.h"

namespace discovery {

// WinSock reports a waiting answer to the dialog with this message.
inline constexpr UINT kSearchSocketEvent = WM_USER + 50;
inline constexpr char kSearchCommunity[] = "mevola";
inline constexpr char kMakerName[] = "Harlune";
inline constexpr std::uint16_t kSnmpPort = 161;
inline constexpr int kFoundMax = 128;
inline constexpr int kDatagramMax = 2047;

// What the search dialog hands back to the wizard page that opened it.
struct SearchAnswer {
  std::uint16_t query_port;
  char address[16];
};

struct FoundPrinter {
  std::uint8_t hardware[6];  // first 6 bytes of ifPhysAddress, as received
  char address[16];          // the answer's sender, dotted
  char description[128];     // sysDescr, cut
};

struct ResultTable {
  FoundPrinter entries[kFoundMax];
  std::uint32_t count;
};

// Addresses in network byte order, in file order.
struct UserBroadcasts {
  std::uint32_t addresses[64];
  int count;
};

// List columns, and how each is currently sorted.
inline constexpr int kColumnCount = 3;
inline constexpr int kSortAscending = 1;
inline constexpr int kSortDescending = 2;

// One open search dialog's search.
struct SearchSession {
  SOCKET socket;
  UserBroadcasts broadcasts;
  ResultTable* results;  // zero-filled while the dialog is up
  int sort_direction[kColumnCount];
  char ini_path[MAX_PATH];  // the discovery INI
};

// Opens the search socket, arranges for `dialog` to hear of answers, and
// sends the first sweep. The socket stays open even when it could not be
// bound (the requests still go out; no answer can come back).
SOCKET StartPrinterSearch(HWND dialog, SearchSession* session);

// One sweep: 255.255.255.255 first, then each user broadcast address, all
// on port 161. Nothing is sent when broadcasting cannot be switched on, and
// the user's addresses are skipped when the first send fails.
void SendSearchRequest(const char* community, SOCKET socket, const UserBroadcasts& broadcasts);

// Re-reads the user's broadcast addresses from the discovery INI at `path`.
// A value that is empty or not hexadecimal counts as 255.255.255.255.
void LoadUserBroadcasts(const char* path, UserBroadcasts* broadcasts);

// Reads one datagram from the search socket and adds what it names (see
// AddFoundPrinter). The new entry's index, or -1.
int HandleSearchReply(SearchSession* session);

// Adds the answer to the results when there is room, it names the maker,
// and its hardware address is not there yet. The new entry's index, or -1.
int AddFoundPrinter(SearchSession* session, const SnmpBinding* slots, std::uint32_t sender);

// Whether `pattern` occurs in `text`, ASCII letters compared without case.
bool ContainsNoCase(const char* text, const char* pattern);

// The text of `entry` in list column `column` ("%02x:..." for the hardware
// address), as listed and as sorted.
void ResultColumnText(const FoundPrinter& entry, int column, char* out, int size);

}  // namespace discovery
