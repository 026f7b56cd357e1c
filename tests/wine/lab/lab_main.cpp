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

// True when a UDP socket can be bound to the lab's client address, which
// lives only in the lab's namespace (the lab refuses to start when the
// host has any address of its range).
bool InsideTheLab(std::string* why) {
  std::string client = lab::Env("VEXA_LAN_CLIENT");
  if (client.rfind("10.77.", 0) != 0) {
    *why = "VEXA_LAN_CLIENT is not a lab address (\"" + client + "\")";
    return false;
  }
  SOCKET probe = socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == INVALID_SOCKET) {
    *why = "no UDP socket";
    return false;
  }
  sockaddr_in local = {};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = inet_addr(client.c_str());
  bool bound = bind(probe, reinterpret_cast<sockaddr*>(&local), sizeof(local)) == 0;
  closesocket(probe);
  if (!bound) *why = "cannot bind " + client + ": this wineserver is not in the lab's namespace";
  return bound;
}

}  // namespace

int main(int argc, char** argv) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(1, 1), &data) != 0) {
    std::fprintf(stderr, "lab: WinSock did not start\n");
    return 3;
  }
  std::string why;
  if (!InsideTheLab(&why)) {
    std::fprintf(stderr, "lab: refusing to run: %s\n", why.c_str());
    return 3;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
