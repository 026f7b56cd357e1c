#!/usr/bin/env bash
# Usage: check_dll.sh DLL|EXE ALLOWLIST
#
# Checks that an i686 Vexamon.dll can be loaded and run by Windows 95 on a
# 486: PE shape, the single undecorated export, header versions 4.0, imports
# limited to what Windows 95 exports (ALLOWLIST, see win95-exports.txt), no C
# runtime, and no instruction newer than the 486. A file named *.EXE (the
# installer) is checked the same way as a program: no DLL flag, no exports,
# and SHELL32 for its folder picker.
#
# Exit status: 0 all checks pass (one summary line), 1 at least one violation
# (every violation is printed), 2 the checker could not run.
#
# Allow-list: one "DLL FUNCTION" a line, DLL matched case-insensitively,
# FUNCTION case-sensitively (GetProcAddress is); "WSOCK32.dll #115" allows an
# import by ordinal. Lines starting with '#' are comments, and so is " # text"
# after an entry.

set -u
export LC_ALL=C

OBJDUMP=${OBJDUMP:-i686-w64-mingw32-objdump}
ALLOWED_DLLS="ADVAPI32.DLL COMCTL32.DLL GDI32.DLL KERNEL32.DLL MPR.DLL USER32.DLL WINSPOOL.DRV WSOCK32.DLL"

[ $# -eq 2 ] && [ -r "$1" ] && [ -r "$2" ] || { echo "usage: $0 DLL ALLOWLIST (both readable)" >&2; exit 2; }
command -v "$OBJDUMP" >/dev/null 2>&1 || { echo "check_dll: $OBJDUMP not found" >&2; exit 2; }
dll=$1
name=${dll##*/}
program=0
case $name in *.[eE][xX][eE]) program=1 ALLOWED_DLLS="$ALLOWED_DLLS SHELL32.DLL" ;; esac
tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT

violations=0
violate() {
  echo "$name: $*"
  violations=$((violations + 1))
}
# Each line of standard input is a violation, already named.
report() {
  while IFS= read -r l; do
    echo "$l"
    violations=$((violations + 1))
  done
}

# Normalised to "UPPERCASE-DLL<TAB>FUNCTION" so that lookups are exact.
awk '/^[ \t]*(#|$)/ { next }
     { sub(/[ \t]+#([ \t].*)?$/, "") }
     NF != 2 { printf "%s:%d: want \"DLL FUNCTION\"\n", FILENAME, NR > "/dev/stderr"; bad = 1 }
     { print toupper($1) "\t" $2 }
     END { exit bad }' "$2" >"$tmp/allow" || { echo "check_dll: malformed allow-list $2" >&2; exit 2; }

# --- headers ----------------------------------------------------------------
if ! "$OBJDUMP" -p "$dll" >"$tmp/p" 2>"$tmp/err"; then
  violate "objdump cannot read it as a PE file: $(head -n1 "$tmp/err")"
  echo "$name: FAILED, $violations violation(s)"
  exit 1
fi

field() { awk -v k="$1" '$1 == k { print $2; exit }' "$tmp/p"; }

grep -q 'file format pei-i386$' "$tmp/p" ||
  violate "not a PE32 i386 image ($(grep -o 'file format .*' "$tmp/p" | head -n1))"
[ "$(field Magic)" = 010b ] || violate "optional header magic $(field Magic), want 010b (PE32)"
# objdump lists each Characteristics flag on its own line.
awk '/^Characteristics/ { on = 1; next } on && /^\t/ { if ($1 == "DLL") found = 1; next } { on = 0 }
     END { exit !found }' "$tmp/p"
dll_flag=$((1 - $?))
if [ $program = 1 ]; then
  [ $dll_flag = 0 ] || violate "the DLL flag is set in a program's file characteristics"
elif [ $dll_flag = 0 ]; then
  violate "the DLL flag is not set in the file characteristics"
fi

os="$(field MajorOSystemVersion).$(field MinorOSystemVersion)"
sub="$(field MajorSubsystemVersion).$(field MinorSubsystemVersion)"
[ "$os" = 4.0 ] || violate "OS version $os, want 4.0"
[ "$sub" = 4.0 ] || violate "subsystem version $sub, want 4.0"
grep -Eq '^Subsystem[[:space:]]+00000002' "$tmp/p" ||
  violate "subsystem is '$(grep -E '^Subsystem[[:space:]]' "$tmp/p" | cut -f3-)', want Windows GUI (2)"

# Data directory sizes: "Entry 9 <rva> <size> Thread Storage Directory ...".
dir_size() { awk -v e="$1" '$1 == "Entry" && $2 == e { print $4; exit }' "$tmp/p"; }
# Windows 95 never initialises implicit TLS of a DLL loaded with LoadLibrary,
# which is how the spooler loads a monitor.
[ "$(dir_size 9)" = 00000000 ] || violate "has a TLS directory (thread_local / __thread): unusable on Windows 95"
# Delay-loaded imports would bypass the import check below.
[ "$(dir_size d)" = 00000000 ] || violate "has delay-load imports, which this check cannot vet"

# --- exports ----------------------------------------------------------------
awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
     on && /^[ \t]*\[ *[0-9]+\]/ { sub(/^[ \t]*\[ *[0-9]+\][ \t]+/, ""); print; next }
     on { on = 0 }' "$tmp/p" >"$tmp/exports"
eat=$(awk '/^\tExport Address Table[ \t]+[0-9a-f]+$/ { print $NF; exit }' "$tmp/p")
if [ $program = 1 ]; then
  grep -q '^The Export Tables' "$tmp/p" && violate "a program with exports: $(tr '\n' ' ' <"$tmp/exports")"
elif ! grep -q '^The Export Tables' "$tmp/p"; then
  violate "has no export table, want exactly InitializeMonitorEx"
else
  while IFS= read -r e; do
    case $e in
      InitializeMonitorEx) ;;
      *InitializeMonitorEx*) violate "export '$e' is decorated, want plain InitializeMonitorEx (.def file)" ;;
      *) violate "extra export '$e'" ;;
    esac
  done <"$tmp/exports"
  grep -qx InitializeMonitorEx "$tmp/exports" || violate "does not export InitializeMonitorEx by name"
  [ "$((16#${eat:-0}))" -le 1 ] ||
    violate "export address table has $((16#$eat)) entries, want 1 (ordinal-only exports?)"
fi

# --- imports ----------------------------------------------------------------
# One "DLL<TAB>name" or "DLL<TAB>#ordinal" per imported function. objdump shows
# an ordinal import as a thunk with the top bit set and member name <none>.
awk '/^The Import Tables/ { on = 1; next }
     on && /^[A-Za-z]/ { on = 0 }
     on && /^\tDLL Name: / { dll = $3; next }
     on && dll != "" && /^\t[0-9a-f]+\t *[0-9]+/ {
       split($0, c, "\t"); split(c[3], w, " ")
       if (length(c[2]) == 8 && c[2] ~ /^[89a-f]/ && (w[2] == "" || w[2] == "<none>"))
         print dll "\t#" w[1]
       else
         print dll "\t" w[2]
     }' "$tmp/p" >"$tmp/imports"
nimp=$(wc -l <"$tmp/imports")
# A DLL may have several tables, under different spellings: each is vetted.
# Only WinSock 1.1 ordinals are fixed across vendors and versions.
report < <(awk -F'\t' -v allowed=" $ALLOWED_DLLS " -v name="$name" '
  NR == FNR { ok[$0] = 1; next }
  {
    d = toupper($1)
    if (d in funcs) funcs[d] = funcs[d] ", " $2
    else { order[++n] = d; spelt[d] = $1; funcs[d] = $2 }
    if (tolower(d) ~ crt || !index(allowed, " " d " ")) next
    if ($2 ~ /^#/ && d != "WSOCK32.DLL") print name ": imports " $1 " " $2 " by ordinal; only WSOCK32 ordinals are stable"
    else if (!((d "\t" $2) in ok)) print name ": imports " $1 " " $2 ", which is not on the Windows 95 allow-list"
  }
  END {
    for (i = 1; i <= n; i++) {
      d = order[i]
      if (tolower(d) ~ crt) print name ": imports the C runtime " spelt[d] ": " funcs[d]
      else if (!index(allowed, " " d " ")) print name ": imports from " spelt[d] ", which is not allowed: " funcs[d]
    }
    print n >"/dev/stderr"
  }' crt='^(msvcr.*|msvcp.*|crtdll|ucrtbase.*|vcruntime.*|api-ms-win-crt-.*|libgcc_s.*|libstdc[+][+].*|libwinpthread.*|cygwin1|msys-2[.]0)[.]dll$' \
  "$tmp/allow" "$tmp/imports" 2>"$tmp/ndll")
ndll=$(cat "$tmp/ndll")
# --- instructions -----------------------------------------------------------
# Anything a 486 (with FPU) lacks that a compiler or assembler might emit.
# Allowed on purpose: cpuid (only by explicit use, after probing), ud2 (meant
# to trap, and on a 486 it still traps), pause and tzcnt (GCC's "rep nop" and
# "rep bsf" encodings, which a 486 runs as nop and bsf). "(bad)" is not flagged:
# ld puts the constructor-list words (0xffffffff) into .text.
if ! "$OBJDUMP" -d --no-show-raw-insn "$dll" >"$tmp/d" 2>"$tmp/err"; then
  violate "objdump cannot disassemble it: $(head -n1 "$tmp/err")"
fi
awk -v name="$name" '
  /^[0-9a-f]+ <.*>:$/ { fn = $2; sub(/:$/, "", fn); next }
  /^ *[0-9a-f]+:\t/ {
    addr = $1; sub(/:$/, "", addr)
    t = $0; sub(/^ *[0-9a-f]+:\t/, "", t); insns++
    n = split(t, w, /[ \t]+/); i = 1
    while (i < n && w[i] ~ /^(lock|rep|repz|repe|repnz|repne|data16|data32|addr16|addr32|cs|ds|es|fs|gs|ss|bnd|notrack|xacquire|xrelease)$/) i++
    m = w[i]; why = ""
    if (m ~ /^cmov/) why = "CMOV needs a Pentium Pro"
    else if (m ~ /^fcmov/) why = "FCMOV needs a Pentium Pro"
    else if (m ~ /^fu?comip?$/) why = "FCOMI/FUCOMI need a Pentium Pro"
    else if (m ~ /^nop[wlq]?$/ && i < n) why = "multi-byte NOP (0F 1F) needs a Pentium Pro"
    else if (m ~ /^(cmpxchg8b|cmpxchg16b|rdtscp?|rdpmc|sysenter|sysexit|syscall|sysret)$/) why = "needs a Pentium or later"
    else if (m ~ /^(emms|femms|sfence|lfence|mfence|clflush|clflushopt|clwb|movnti[lq]?|v?ldmxcsr|v?stmxcsr|fxsave|fxrstor|xsave.*|xrstor.*|fisttp.*|prefetch.*|endbr32|endbr64|xgetbv|rdrand|rdseed|xbegin|xend|xabort|xtest)$/) why = "MMX/SSE-era or later instruction"
    else if (m ~ /^(popcnt|lzcnt|movbe|crc32|andn|bextr|blsi|blsmsk|blsr|bzhi|pdep|pext|sarx|shlx|shrx|rorx|mulx|adcx|adox)[bwlq]?$/) why = "needs a CPU far newer than a 486"
    else if (t ~ /%([xyz]mm[0-9]|mm[0-7]|k[0-7]([^0-9]|$))/) why = "uses MMX/SSE/AVX registers"
    if (why != "") { printf "%s: %s at %s in %s: %s\n", name, why, addr, fn, t; bad++ }
  }
  END { print insns + 0 > "/dev/stderr"; exit bad ? 1 : 0 }
' "$tmp/d" >"$tmp/bad_insns" 2>"$tmp/ninsns"
report <"$tmp/bad_insns"
ninsns=$(cat "$tmp/ninsns")

if [ "$violations" -ne 0 ]; then
  echo "$name: FAILED, $violations violation(s)"
  exit 1
fi
echo "$name: OK: PE32 i386 $([ $program = 1 ] && echo "program, no exports" || echo "DLL, export InitializeMonitorEx"), OS/subsystem 4.0 GUI," \
  "$nimp imports from $ndll DLLs all on the Windows 95 list, $ninsns instructions all 486-safe"
