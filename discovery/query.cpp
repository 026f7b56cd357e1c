#include "discovery/query.h"

#include "discovery/query_wire.h"

namespace discovery {
namespace {


// Waits for a datagram until `wait_ms` have passed since `sent_at`, by the
// tick counter, and reads it. Its size, or -1 after a time-out or error.
int ReceiveWithin(SOCKET socket, DWORD sent_at, DWORD wait_ms, std::uint8_t* buffer, int size) {
  for (;;) {
    DWORD elapsed = GetTickCount() - sent_at;
    if (elapsed >= wait_ms) return -1;
    DWORD left = wait_ms - elapsed;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout = {static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) return -1;
    if (ready == 0) continue;  // the tick counter decides when the wait is over
    sockaddr_in from = {};
    int from_size = sizeof(from);
    int got = recvfrom(socket, reinterpret_cast<char*>(buffer), size, 0,
                       reinterpret_cast<sockaddr*>(&from), &from_size);
    // A datagram longer than the buffer still arrives, cut: WinSock reports
    // WSAEMSGSIZE for it, and its header is what decides.
    if (got == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) got = size;
    return got;
  }
}

// One send and its wait. True with `piece` filled when the reply answers
// this very packet: same type, and the offset asked for.
bool Exchange(SOCKET socket, const sockaddr_in& server, const std::uint8_t* packet,
              std::uint8_t* reply, QueryPiece* piece, std::uint16_t offset) {
  int sent = sendto(socket, reinterpret_cast<const char*>(packet), kQueryPacketSize, 0,
                    reinterpret_cast<const sockaddr*>(&server), sizeof(server));
  DWORD sent_at = GetTickCount();
  if (sent != static_cast<int>(kQueryPacketSize)) return false;
  int got = ReceiveWithin(socket, sent_at, kQueryWaitMs, reply, kQueryReplyMax);
  if (got <= 0) return false;
  return ReadQueryReply(reply, static_cast<std::size_t>(got), piece) &&
         piece->type == QueryType(packet) && piece->offset == offset;
}

int RunQuery(SOCKET socket, const sockaddr_in& server, const char* command, std::uint8_t* out,
             int out_size) {
  std::uint8_t packet[kQueryPacketSize];
  BuildQueryPacket(packet, command);
  std::uint8_t reply[kQueryReplyMax];
  int received = 0;
  for (;;) {
    // The offset field is 16 bits: an answer that long cannot be asked for.
    if (received > 0xFFFF) return -1;
    const auto offset = static_cast<std::uint16_t>(received);
    SetQueryOffset(packet, offset);
    QueryPiece piece = {};
    bool answered = false;
    for (int attempt = 0; attempt < kQueryTries && !answered; ++attempt)
      answered = Exchange(socket, server, packet, reply, &piece, offset);
    if (!answered) return -1;
    if (piece.length > out_size - received) return -1;
    for (int i = 0; i < piece.length; ++i) out[received + i] = piece.data[i];
    received += piece.length;
    if (piece.more != 0) {
      SetQueryType(packet, kQueryNext);
      continue;
    }
    // The closing acknowledgement repeats the last piece's offset; whatever
    // comes back (or not) changes nothing.
    SetQueryType(packet, kQueryClose);
    Exchange(socket, server, packet, reply, &piece, offset);
    return received;
  }
}

}  // namespace

int ServerQuery(std::uint32_t server, const char* command, std::uint8_t* out, int out_size,
                std::uint16_t port) {
  SOCKET udp = socket(AF_INET, SOCK_DGRAM, 0);
  if (udp == INVALID_SOCKET) return -1;
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  BOOL broadcast = TRUE;
  int result = -1;
  if (bind(udp, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != SOCKET_ERROR &&
      setsockopt(udp, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast),
                 sizeof(broadcast)) != SOCKET_ERROR) {
    sockaddr_in target = {};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = server;
    target.sin_port = htons(port);
    result = RunQuery(udp, target, command, out, out_size);
  }
  closesocket(udp);
  return result;
}

}  // namespace discovery
