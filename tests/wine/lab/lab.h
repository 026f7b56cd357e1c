// What the network lab (tests/wine/discovery_test.sh) tells the test
// program through its environment, and the proof that this program's
// sockets live in the lab: the lab's client address can be bound only
// where the lab's namespace is, since the host has no such address.
#pragma once
#include <windows.h>

#include <string>

namespace lab {

// The variable's value, or "" when unset.
std::string Env(const char* name);

// The whole file at the Unix path in `variable`, followed by `tail`, as
// Wine sees it (Z:\...); "" when it cannot be read.
std::string ReadFile(const char* variable, const std::string& tail = "");

}  // namespace lab
