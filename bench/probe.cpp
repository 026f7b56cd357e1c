// The calls the monitor makes for each piece of a job, made by a program
// with no monitor and no spooler in it: what they cost under Wine bounds
// what any change to the monitor's own work can gain.
//   probe send HOST PORT FILE PIECE select|direct
//     select: wait for writability before every send, as the monitor does;
//     direct: send at once, wait only after WSAEWOULDBLOCK.
//   probe copy FILE OUT PIECE     ReadFile and WriteFile in PIECE bytes
//   probe read FILE PIECE         ReadFile alone
// Prints "BYTES bytes in MS ms"; exit status 0 only when every byte went.
#include <winsock.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool WaitWritable(SOCKET s) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval limit{15, 0};
  return select(0, nullptr, &set, nullptr, &limit) == 1;
}

// Sends all of DATA; false on any error other than a full socket buffer.
bool SendAll(SOCKET s, const char* data, int size, bool select_first) {
  bool wait = select_first;
  while (size > 0) {
    if (wait && !WaitWritable(s)) return false;
    int n = send(s, data, size, 0);
    if (n == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
      wait = true;
      continue;
    }
    data += n;
    size -= n;
    wait = select_first;
  }
  return true;
}

HANDLE OpenInput(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

int Usage() {
  std::fputs(
      "usage: probe send HOST PORT FILE PIECE select|direct\n"
      "       probe copy FILE OUT PIECE\n"
      "       probe read FILE PIECE\n",
      stderr);
  return 2;
}

int Report(bool ok, unsigned long long bytes, double start) {
  std::printf("%llu bytes in %.1f ms\n", bytes, Now() - start);
  return ok ? 0 : 1;
}

int Send(char** argv) {
  int piece = std::atoi(argv[5]);
  bool select_first = std::strcmp(argv[6], "select") == 0;
  if (piece <= 0 || (!select_first && std::strcmp(argv[6], "direct") != 0)) return Usage();
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) return 1;
  HANDLE in = OpenInput(argv[4]);
  if (in == INVALID_HANDLE_VALUE) return 1;
  SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<u_short>(std::atoi(argv[3])));
  to.sin_addr.s_addr = inet_addr(argv[2]);
  u_long on = 1;
  if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&to), sizeof(to)) != 0 ||
      ioctlsocket(s, FIONBIO, &on) != 0)
    return 1;
  std::vector<char> buffer(piece);
  unsigned long long total = 0;
  bool ok = true;
  double start = Now();
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, buffer.data(), piece, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    if (!SendAll(s, buffer.data(), static_cast<int>(got), select_first)) {
      ok = false;
      break;
    }
    total += got;
  }
  // Ended as the monitor ends a job, so both pay the same for the close.
  shutdown(s, 1);
  u_long off = 0;
  ioctlsocket(s, FIONBIO, &off);
  char scratch[1024];
  while (recv(s, scratch, sizeof(scratch), 0) > 0) {
  }
  closesocket(s);
  CloseHandle(in);
  return Report(ok, total, start);
}

int Copy(char** argv, bool write) {
  int piece = std::atoi(argv[write ? 4 : 3]);
  if (piece <= 0) return Usage();
  HANDLE in = OpenInput(argv[2]);
  HANDLE out = INVALID_HANDLE_VALUE;
  if (write)
    out = CreateFileA(argv[3], GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (in == INVALID_HANDLE_VALUE || (write && out == INVALID_HANDLE_VALUE)) return 1;
  std::vector<char> buffer(piece);
  unsigned long long total = 0;
  bool ok = true;
  double start = Now();
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(in, buffer.data(), piece, &got, nullptr)) ok = false;
    if (!ok || got == 0) break;
    if (write && (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got)) {
      ok = false;
      break;
    }
    total += got;
  }
  int status = Report(ok, total, start);
  if (write) CloseHandle(out);
  CloseHandle(in);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::strcmp(argv[1], "send") == 0) return Send(argv);
  if (argc == 5 && std::strcmp(argv[1], "copy") == 0) return Copy(argv, true);
  if (argc == 4 && std::strcmp(argv[1], "read") == 0) return Copy(argv, false);
  return Usage();
}
