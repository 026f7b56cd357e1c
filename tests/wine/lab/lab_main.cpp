// Entry of the lab's test program. Before any test runs it proves that the
// wineserver, which owns every socket of this program, runs inside the
// lab's own network namespace: the printer search broadcasts, and a
// broadcast from the host's namespace would leave the machine.
#include <gtest/gtest.h>
#include <windows.h>
#include <winsock.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/wine/lab/lab.h"

namespace lab {

std::string Env(const char* name) {
  char value[1024];
  DWORD size = GetEnvironmentVariableA(name, value, sizeof(value));
  return size > 0 && size < sizeof(value) ? std::string(value, size) : std::string();
}

std::string ReadFile(const char* variable, const std::string& tail) {
  std::string path = "Z:" + Env(variable) + tail;
  std::replace(path.begin(), path.end(), '/', '\\');
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

}  // namespace lab

namespace {

// Why this program does not run inside the lab, or "" when it does: a UDP
// socket can be bound to the lab's client address only in the lab's
// namespace (the lab refuses to start when the host has any address of its
// range).
std::string OutsideTheLab() {
  WSADATA data;
  const std::string client = lab::Env("VEXA_LAN_CLIENT");
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) return "WinSock did not start";
  if (client.rfind("10.77.", 0) != 0) return "VEXA_LAN_CLIENT=\"" + client + "\" is no lab address";
  SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == INVALID_SOCKET) return "no UDP socket";
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(client.c_str());
  const bool bound = bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
  closesocket(probe);
  return bound ? "" : "cannot bind " + client + ": this wineserver is not in the lab's namespace";
}

}  // namespace

int main(int argc, char** argv) {
  if (const std::string why = OutsideTheLab(); !why.empty()) {
    std::fprintf(stderr, "lab: refusing to run: %s\n", why.c_str());
    return 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
