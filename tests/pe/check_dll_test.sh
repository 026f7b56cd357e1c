#!/usr/bin/env bash
# Usage: check_dll_test.sh DLL ALLOWLIST
#
# check_dll.sh on the shipping DLL, then on small i686 DLLs built with the
# DLL's own recipe but broken the ways that build could break: a checker
# that stopped seeing one of these faults would pass a broken DLL unseen.
set -u
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
list=$(cd "$(dirname "$2")" && pwd)/${2##*/}
"$here/check_dll.sh" "$1" "$list"
status=$?
CC=i686-w64-mingw32-gcc
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1

# refused DLL PATTERN... [-- PATTERN...]: the checker fails DLL, reporting
# every PATTERN before "--" and none after.
refused() {
  local dll=$1 out p ok=1 fault=1
  shift
  out=$("$here/check_dll.sh" "$dll" "$list" 2>&1)
  [ $? -eq 1 ] || { echo "FAIL: $dll: not refused"; ok=0; }
  for p in "$@"; do
    # The grep status that is a fault: 1 (absent) before "--", 0 (present) after.
    if [ "$p" = -- ]; then fault=0; continue; fi
    grep -Eq -- "$p" <<<"$out"
    [ $? -ne $fault ] || { echo "FAIL: $dll: $([ $fault = 1 ] && echo lacks || echo has) /$p/"; ok=0; }
  done
  [ $ok = 1 ] && return 0
  sed 's/^/    | /' <<<"$out"
  status=1
}

# What makes GCC pick CMOV, FCOMI/FCMOV and SSE on a newer CPU (selects over
# ints, doubles and floats), and what pulls libgcc into the real DLL (64-bit
# division, a frame over 4 KiB for the stack probe).
cat >m.c <<'C'
#include <windows.h>
#include <winsock.h>
#ifdef BAD_IMPORTS
__declspec(dllimport) BOOL WINAPI TryEnterCriticalSection(CRITICAL_SECTION *);
__declspec(dllimport) DWORD WINAPI K32Ord(void);
__declspec(dllimport) int WINAPI WSARecvEx(SOCKET, char *, int, int *);
#define EXPORT
#else
#define EXPORT __declspec(dllexport)
#endif
__declspec(dllimport) int WINAPI WsOrd115(WORD, WSADATA *);
BOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) { (void)h; (void)r; (void)p; return TRUE; }
static int __attribute__((noinline)) biggest(const int *a, int n) {
  int m = 0;
  for (int i = 0; i < n; i++) m = a[i] > m ? a[i] : m;
  return m;
}
static double __attribute__((noinline)) smaller(double x, double y) { return x < y ? x : y; }
static float __attribute__((noinline)) smallerf(float x, float y) { return x < y ? x : y; }
static DWORD __attribute__((noinline)) probe(DWORD n) {
  volatile char big[6000];
  big[n % sizeof big] = (char)n;
  return big[(n * 7) % sizeof big];
}
EXPORT DWORD WINAPI InitializeMonitorEx(LPSTR reg, void *mon) {
  WSADATA d;
  int v[4] = { (int)GetTickCount(), 2, 3, 4 };
  unsigned long long t = GetTickCount();
  if (reg) WSAStartup(0x0101, &d);
  if (mon) WsOrd115(0x0101, &d);
  t /= GetTickCount() | 1;
#ifdef BAD_IMPORTS
  TryEnterCriticalSection(0);
  t += K32Ord();
  WSARecvEx(0, 0, 0, 0);
#endif
  return (DWORD)t + biggest(v, 4) + (DWORD)smaller(v[0], v[1]) + (DWORD)smallerf((float)t, (float)v[0]) +
         probe(v[2]) + htons(515);
}
EXPORT int WINAPI Helper(void) { return 1; }
C
# Import libraries that import by ordinal, as a hand-made or third-party one
# would; this one spells the DLL "wsock32.dll", mingw's "WSOCK32.DLL", and both
# tables must be vetted, not only the spelling seen first.
printf 'LIBRARY wsock32.dll\nEXPORTS\n WsOrd115@8 @115 NONAME\n' >wsord.def
printf 'LIBRARY KERNEL32.dll\nEXPORTS\n K32Ord@0 @5 NONAME\n' >k32ord.def
printf 'LIBRARY m.dll\nEXPORTS\n InitializeMonitorEx\n' >one.def
i686-w64-mingw32-dlltool -k -d wsord.def -l libwsord.a &&
  i686-w64-mingw32-dlltool -k -d k32ord.def -l libk32ord.a || exit 1
# build OUT FLAGS...: the fault is in FLAGS; the rest is the real DLL's recipe.
build() {
  local out=$1
  shift
  "$CC" -O2 -shared -o "$out" m.c "$@" -L. -lwsord -lkernel32 -luser32 -lwsock32 -lgcc >"$out.log" 2>&1 &&
    return 0
  echo "FAIL: $out: build failed"
  sed 's/^/    | /' "$out.log"
  status=1
  return 1
}
# shellcheck disable=SC2054  # commas belong to -Wl options
NOCRT=(-nostdlib -nostartfiles -Wl,-e,_DllMain@12 -Wl,--fatal-warnings -Wl,--enable-stdcall-fixup
  -Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4,--minor-os-version,0
  -Wl,--major-subsystem-version,4,--minor-subsystem-version,0 one.def)

# Pentium III code; imports Windows 95 lacks: an NT-only function, a
# Microsoft WinSock extension, WinSock 2 (ws2_32 linked first takes WSAStartup
# and htons away from WSOCK32), an ordinal outside WSOCK32.
build code.dll -march=pentium3 -mfpmath=sse -DBAD_IMPORTS "${NOCRT[@]}" -lk32ord -lws2_32 &&
  refused code.dll 'CMOV needs a Pentium Pro at .* in <_biggest' 'FCOMI/FUCOMI need a Pentium Pro' \
    'uses MMX/SSE/AVX registers at .* in <_smallerf' \
    'imports KERNEL32.dll TryEnterCriticalSection, which is not on the Windows 95 allow-list' \
    'imports WSOCK32.DLL WSARecvEx, which is not on the Windows 95 allow-list' \
    'imports from WS2_32.dll, which is not allowed: .*WSAStartup' 'imports KERNEL32.dll #5 by ordinal' \
    -- 'GetTickCount|#115|export|version|subsystem'

# The usual mingw DLL: C runtime start-up code, console subsystem, XP
# headers, stdcall-decorated exports and one too many.
build shape.dll -march=i486 -Wl,--subsystem,console:5.1 -Wl,--major-os-version,5,--minor-os-version,1 &&
  refused shape.dll 'imports the C runtime msvcrt\.dll' 'has a TLS directory' 'OS version 5\.1, want 4\.0' \
    'subsystem version 5\.1, want 4\.0' 'want Windows GUI' "export 'InitializeMonitorEx@8' is decorated" \
    'does not export InitializeMonitorEx' "extra export 'Helper" 'export address table has 2 entries' \
    -- 'not on the|by ordinal'

refused m.c 'objdump cannot read it'
exit $status
