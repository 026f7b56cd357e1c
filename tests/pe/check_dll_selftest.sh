#!/usr/bin/env bash
# Self-test of check_dll.sh and win95-exports.txt. The main CMakeLists should
# register it (win32 target) as:
#   add_test(NAME pe_check_selftest COMMAND ${CMAKE_SOURCE_DIR}/tests/pe/check_dll_selftest.sh)
#   set_tests_properties(pe_check_selftest PROPERTIES SKIP_RETURN_CODE 77)
#
# Builds tiny i686 DLLs, each broken in one way the real build could break,
# and checks the verdict of the checker on each. Exit 0 all good, 1 a case
# failed, 77 no mingw toolchain here.

set -u
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
check=$here/check_dll.sh
list=$here/win95-exports.txt
CC=${CC_I686:-i686-w64-mingw32-gcc}
NM=${NM_I686:-i686-w64-mingw32-nm}
DLLTOOL=${DLLTOOL_I686:-i686-w64-mingw32-dlltool}
LIBDIR=${MINGW_I686_LIBDIR:-/usr/i686-w64-mingw32/lib}

for t in "$CC" "$NM" "$DLLTOOL"; do
  command -v "$t" >/dev/null 2>&1 || { echo "SKIP: $t not installed"; exit 77; }
done

tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 1

passed=0
failed=0
fail() {
  echo "FAIL: $*"
  failed=$((failed + 1))
}

# expect CASE DLL WANT_RC [grep -E patterns that must all appear] [-- patterns that must not]
expect() {
  local case=$1 dll=$2 want=$3 rc out ok=1 neg=0 p
  shift 3
  out=$("$check" "$dll" "$list" 2>&1)
  rc=$?
  if [ "$rc" -ne "$want" ]; then
    fail "$case: exit $rc, want $want"
    ok=0
  fi
  for p in "$@"; do
    if [ "$p" = -- ]; then neg=1; continue; fi
    if [ $neg = 0 ] && ! grep -Eq -- "$p" <<<"$out"; then
      fail "$case: output lacks /$p/"
      ok=0
    elif [ $neg = 1 ] && grep -Eq -- "$p" <<<"$out"; then
      fail "$case: output has /$p/"
      ok=0
    fi
  done
  if [ $ok = 1 ]; then
    passed=$((passed + 1))
    echo "ok: $case"
  else
    sed 's/^/    | /' <<<"$out"
  fi
}

# Source of every test DLL. It has what makes GCC pick CMOV/FCOMI on a
# Pentium Pro (min/max selects), and what pulls libgcc into the real DLL
# (64-bit division, a frame over 4 KiB for the stack probe).
cat >m.c <<'EOF'
#include <windows.h>
#include <winsock.h>

#ifdef BAD_IMPORT
__declspec(dllimport) BOOL WINAPI TryEnterCriticalSection(CRITICAL_SECTION *);
#endif
#ifdef K32_ORDINAL
__declspec(dllimport) DWORD WINAPI K32Ord(void);
#endif
#ifdef BAD_WSOCK
__declspec(dllimport) int WINAPI WSARecvEx(SOCKET, char *, int, int *);
#endif
__declspec(dllimport) int WINAPI WsOrd115(WORD, WSADATA *);

BOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) { (void)h; (void)r; (void)p; return TRUE; }

static int __attribute__((noinline)) biggest(const int *a, int n) {
  int m = 0;
  for (int i = 0; i < n; i++) m = a[i] > m ? a[i] : m;
  return m;
}

static double __attribute__((noinline)) smaller(double x, double y) { return x < y ? x : y; }

static DWORD __attribute__((noinline)) probe(DWORD n) {
  volatile char big[6000];
  big[n % sizeof big] = (char)n;
  return big[(n * 7) % sizeof big];
}

#ifdef DECORATED
__declspec(dllexport)
#endif
DWORD WINAPI InitializeMonitorEx(LPSTR reg, void *mon) {
  WSADATA d;
  int v[4] = { (int)GetTickCount(), 2, 3, 4 };
  unsigned long long t = GetTickCount();
  if (reg) WSAStartup(0x0101, &d);
  if (mon) WsOrd115(0x0101, &d);
  t /= GetTickCount() | 1;
#ifdef BAD_IMPORT
  TryEnterCriticalSection(0);
#endif
#ifdef K32_ORDINAL
  t += K32Ord();
#endif
#ifdef BAD_WSOCK
  WSARecvEx(0, 0, 0, 0);
#endif
  return (DWORD)t + biggest(v, 4) + (DWORD)smaller(v[0], v[1]) + probe(v[2]) + htons(515);
}

int WINAPI Helper(void) { return 1; }
EOF
printf 'LIBRARY m.dll\nEXPORTS\n InitializeMonitorEx\n' >one.def
printf 'LIBRARY m.dll\nEXPORTS\n InitializeMonitorEx\n Helper\n' >two.def
# Import libraries that import by ordinal, as a hand-made or third-party
# import library would.
printf 'LIBRARY wsock32.dll\nEXPORTS\n WsOrd115@8 @115 NONAME\n' >wsord.def
printf 'LIBRARY KERNEL32.dll\nEXPORTS\n K32Ord@0 @5 NONAME\n' >k32ord.def
"$DLLTOOL" -k -d wsord.def -l libwsord.a || exit 1
"$DLLTOOL" -k -d k32ord.def -l libk32ord.a || exit 1

# shellcheck disable=SC2054  # commas belong to -Wl options
WIN95_LINK=(-Wl,--subsystem,windows:4.0 -Wl,--major-os-version,4,--minor-os-version,0
  -Wl,--major-subsystem-version,4,--minor-subsystem-version,0)
# shellcheck disable=SC2054
NOCRT=(-nostdlib -nostartfiles -Wl,-e,_DllMain@12 -Wl,--fatal-warnings -Wl,--enable-stdcall-fixup)
LIBS=(-L. -lwsord -lkernel32 -luser32 -lwsock32 -lgcc)

# build OUT [extra flags...]: the recipe of the real DLL, plus changes.
build() {
  local out=$1
  shift
  if ! "$CC" -O2 -shared -o "$out" m.c "$@" >"$out.log" 2>&1; then
    fail "$out: build failed"
    sed 's/^/    | /' "$out.log"
    return 1
  fi
}

ARCH=(-march=i486 -mtune=pentium)

build good.dll "${ARCH[@]}" "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def "${LIBS[@]}" &&
  expect "good DLL passes, with one line" good.dll 0 '^good\.dll: OK' -- 'FAILED|violation'

build cmov.dll -march=pentiumpro "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def "${LIBS[@]}" &&
  expect "Pentium Pro code is refused" cmov.dll 1 'CMOV needs a Pentium Pro at .* in <_biggest' \
    'FCOMI/FUCOMI need a Pentium Pro' -- 'export|imports|version|subsystem'

build sse.dll -march=pentium4 -mfpmath=sse "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def "${LIBS[@]}" &&
  expect "SSE code is refused" sse.dll 1 'uses MMX/SSE/AVX registers at .* in <_smaller' \
    -- 'export|imports|version'

build decorated.dll "${ARCH[@]}" -DDECORATED "${NOCRT[@]}" "${WIN95_LINK[@]}" "${LIBS[@]}" &&
  expect "stdcall-decorated export is refused" decorated.dll 1 \
    "export 'InitializeMonitorEx@8' is decorated" 'does not export InitializeMonitorEx' -- 'imports|needs'

build extra.dll "${ARCH[@]}" "${NOCRT[@]}" "${WIN95_LINK[@]}" two.def "${LIBS[@]}" &&
  expect "second export is refused" extra.dll 1 "extra export 'Helper'" \
    'export address table has 2 entries' -- 'imports|needs|decorated'

build ntonly.dll "${ARCH[@]}" -DBAD_IMPORT "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def "${LIBS[@]}" &&
  expect "NT-only import is refused" ntonly.dll 1 \
    'imports KERNEL32.dll TryEnterCriticalSection, which is not on the Windows 95 allow-list' \
    -- 'GetTickCount|WSAStartup|htons|export|needs'

# The ordinal library spells the DLL "wsock32.dll", mingw's "WSOCK32.DLL": both
# tables must be vetted, not only the spelling seen first.
build mswsock.dll "${ARCH[@]}" -DBAD_WSOCK "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def "${LIBS[@]}" &&
  expect "Microsoft WinSock extension is refused" mswsock.dll 1 \
    'imports WSOCK32.DLL WSARecvEx, which is not on the Windows 95 allow-list' -- 'WSAStartup|#115|export'

# ws2_32 linked first takes WSAStartup and htons away from WSOCK32.
build ws2.dll "${ARCH[@]}" "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def -L. -lwsord -lws2_32 "${LIBS[@]}" &&
  expect "WinSock 2 DLL is refused" ws2.dll 1 'imports from WS2_32.dll, which is not allowed: .*WSAStartup' \
    -- 'export|needs'

build k32ord.dll "${ARCH[@]}" -DK32_ORDINAL "${NOCRT[@]}" "${WIN95_LINK[@]}" one.def -L. -lk32ord "${LIBS[@]}" &&
  expect "ordinal import outside WSOCK32 is refused" k32ord.dll 1 'imports KERNEL32.dll #5 by ordinal' \
    -- 'not on the|export|OK'

# The usual mingw DLL: C runtime start-up code, console subsystem, XP headers.
build crt.dll "${ARCH[@]}" -Wl,--subsystem,console:5.1 -Wl,--major-os-version,5,--minor-os-version,1 \
  one.def "${LIBS[@]}" &&
  expect "C runtime DLL with XP headers is refused" crt.dll 1 'imports the C runtime msvcrt\.dll' \
    'has a TLS directory' 'OS version 5\.1, want 4\.0' 'subsystem version 5\.1, want 4\.0' \
    'want Windows GUI' -- 'export'

expect "a file that is not PE is refused" m.c 1 'objdump cannot read it'

# The allow-list itself: sorted, no duplicate, and every named entry links from
# mingw-w64's import library of the DLL it is listed under and comes out as an
# import from that DLL (a name filed under the wrong DLL, or missing from
# mingw, fails here rather than in a later link of the monitor).
if grep -v '^#' "$list" | grep -v '^$' | sed 's/[[:space:]]#[[:space:]].*//' | sort -c -k1,1 -k2,2 2>sort.err &&
  [ -z "$(grep -v '^#' "$list" | grep -v '^$' | awk '{print toupper($1), $2}' | sort | uniq -d)" ]; then
  passed=$((passed + 1))
  echo "ok: allow-list is sorted and has no duplicate"
else
  fail "allow-list is not sorted or has a duplicate: $(cat sort.err)"
fi

declare -A lib_of=([ADVAPI32.DLL]=advapi32 [COMCTL32.DLL]=comctl32 [GDI32.DLL]=gdi32
  [KERNEL32.DLL]=kernel32 [MPR.DLL]=mpr [USER32.DLL]=user32 [WINSPOOL.DRV]=winspool [WSOCK32.DLL]=wsock32)
: >syms
for l in "${lib_of[@]}"; do
  "$NM" "$LIBDIR/lib$l.a" 2>/dev/null | awk -v l="$l" '$2 == "I" && $3 ~ /^__imp__/ { print l, $3 }' >>syms
done
grep -v '^#' "$list" | grep -v '^$' | awk -v libs="$(for k in "${!lib_of[@]}"; do printf '%s=%s ' "$k" "${lib_of[$k]}"; done)" '
  BEGIN { count = 0; n = split(libs, a, " "); for (i = 1; i <= n; i++) { split(a[i], kv, "="); lib[kv[1]] = kv[2] } }
  NR == FNR { s = $2; sub(/^__imp__/, "", s); sub(/@[0-9]+$/, "", s); sym[$1 " " s] = $2; next }
  $2 ~ /^#/ { next }
  {
    k = lib[toupper($1)] " " $2
    if (!(k in sym)) { printf " %s:%s", $1, $2 > "missing"; next }
    printf "extern char imp%d __asm__(\"%s\");\n", count, sym[k] > "decls.h"
    table = table "  &imp" count ",\n"
    count++
  }
  END {
    printf "void *const imports[] __attribute__((used)) = {\n%s};\n", table > "table.inc"
    print count > "count"
  }' syms - 
touch missing
cat >all.c <<'EOF'
#include "decls.h"
#include "table.inc"
int __stdcall DllMain(void *h, unsigned r, void *p) { (void)h; (void)r; (void)p; return 1; }
int __stdcall InitializeMonitorEx(void *a, void *b) { (void)a; (void)b; return imports[0] != 0; }
EOF
if [ -n "$(tr -d ' \n' <missing)" ]; then
  fail "allow-list names not in mingw's import libraries:$(cat missing)"
elif "$CC" -O2 -march=i486 -shared -o all.dll all.c one.def "${NOCRT[@]}" "${WIN95_LINK[@]}" \
  -ladvapi32 -lcomctl32 -lgdi32 -lkernel32 -lmpr -luser32 -lwinspool -lwsock32 -lgcc >all.log 2>&1; then
  expect "every allow-list entry links and passes" all.dll 0 "^all\.dll: OK.* $(cat count) imports from 8 DLLs"
else
  fail "linking every allow-list entry failed"
  sed 's/^/    | /' all.log
fi

# A broken allow-list must stop the checker, not pass everything.
sed 's/^WSOCK32\.dll #115/KERNEL32.dll #115/' "$list" >badlist.txt
out=$("$check" good.dll badlist.txt 2>&1)
if [ $? -eq 2 ] && grep -q 'only WSOCK32 may be imported by ordinal' <<<"$out"; then
  passed=$((passed + 1))
  echo "ok: malformed allow-list stops the checker"
else
  fail "malformed allow-list: got '$out'"
fi

echo "check_dll selftest: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
