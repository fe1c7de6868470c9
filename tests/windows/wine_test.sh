#!/usr/bin/env bash
# The Windows build (./dev windows) under Wine against the Linux program:
# `all --format csv` of every fixture, example, public SCL file (when
# ../shared/corpus is there) and a generated station gives the same bytes
# and exit status; the README's commands; export refusing names Windows
# cannot hold and a case collision; a path in Chinese; paths printed as
# given; the menu with a quoted path; the C example built
# against the DLL and a C program linked against ccdcrc.lib as MSVC links; a
# file dropped onto the program, and "/?". Skipped, saying so, where Wine
# cannot run, unless CCDCRC_WINE_REQUIRED=1 (./dev test) makes that a failure.
#   wine_test.sh [WINDOWS_DIR] [LINUX_PROGRAM] [WINDOWS_TEST_PROGRAM]
# With WINDOWS_TEST_PROGRAM, the GoogleTest suites built for Windows run first.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
windows=${1:-$root/build/windows}
linux=${2:-$root/build/release/console/ccdcrc}
suites=${3:-}
cd "$root"
export WINEPREFIX=${WINEPREFIX:-$root/build/wine} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine || command -v wine64 || echo /usr/lib/wine/wine64)
exe=$windows/ccdcrc.exe
mkdir -p "$root/build"
scratch=$(mktemp -d "$root/build/wine-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

# The prefix is made once (about 20 s), then reused.
if [ ! -e "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1 || true
fi
if ! "$wine" "$exe" --version >"$scratch/version.out" 2>&1; then
  # ./dev test installed Wine: there, a Wine that cannot run is a failure.
  if [ "${CCDCRC_WINE_REQUIRED:-0}" = 1 ]; then
    tail -n 20 "$scratch/version.out" >&2
    echo "wine test: FAILED: Wine cannot run $exe" >&2
    exit 1
  fi
  echo "wine test: SKIPPED: Wine cannot run $exe here (is wine installed? ./dev windows built it?)"
  exit 0
fi

fail() {
  echo "wine test: FAILED: $*" >&2
  failures=$((failures + 1))
}

if [ -n "$suites" ]; then
  if "$wine" "$suites" --gtest_brief=1 >"$scratch/suites.out" 2>&1; then
    echo "wine test: GoogleTest suites: $(grep -E '^\[  (PASSED|SKIPPED) ' "$scratch/suites.out" | tr '\n' ' ')"
  else
    tail -n 60 "$scratch/suites.out" >&2
    fail "the GoogleTest suites under Wine"
  fi
fi

# same NAME ARGS...: stdout and exit status of both programs, in the project's
# folder; standard input is $input (by default nothing).
input=/dev/null
same() {
  local name=$1; shift
  local linux_status windows_status
  "$linux" "$@" <"$input" >"$scratch/linux.out" 2>"$scratch/linux.err"
  linux_status=$?
  "$wine" "$exe" "$@" <"$input" >"$scratch/windows.out" 2>"$scratch/windows.err"
  windows_status=$?
  if ! cmp -s "$scratch/linux.out" "$scratch/windows.out" || [ "$linux_status" != "$windows_status" ]; then
    fail "$name: Windows (status $windows_status) and Linux (status $linux_status) differ"
    diff "$scratch/linux.out" "$scratch/windows.out" | head -n 20 >&2
    head -n 5 "$scratch/windows.err" >&2
    return 1
  fi
}

# Every IED CRC and SCD CRC of a group of files, in one run of each program.
crcs_compared=0
compare_group() {
  local name=$1; shift
  [ $# -gt 0 ] || return 0
  if same "$name" all --format csv "$@"; then
    local rows
    rows=$(grep -c ',' "$scratch/linux.out" || true)
    crcs_compared=$((crcs_compared + rows - 1))
    echo "wine test: $name: $# files, $((rows - 1)) CSV rows equal"
  fi
}

mapfile -t fixtures < <(ls tests/data/*.scd tests/data/*.gz tests/data/*.zip 2>/dev/null)
compare_group fixtures "${fixtures[@]}"
compare_group examples examples/*.scd
if [ -d ../shared/corpus ]; then
  mapfile -t corpus < <(find ../shared/corpus -maxdepth 1 -type f | sort)
  compare_group corpus "${corpus[@]}"
else
  echo "wine test: ../shared/corpus is absent: the public SCL files are not compared"
fi
python3 bench/gen_scd.py "$scratch/station.scd" --ieds 40 --odd >/dev/null
compare_group "generated station" "$scratch/station.scd"
echo "wine test: $crcs_compared CRCs compared between Windows and Linux"

# The README's commands.
same "all (text)" all examples/substation.scd
same "diff" diff examples/substation.scd examples/substation_rev2.scd
"$linux" all examples/substation.scd --format csv >"$scratch/approved.csv" 2>/dev/null
same "check" check examples/substation_rev2.scd "$scratch/approved.csv"
input=examples/substation.scd same "standard input" all -
gzip -c examples/substation.scd >"$scratch/station.scd.gz"
same "gzip" all "$scratch/station.scd.gz"

# A path in Chinese, and a CCD export into it, byte for byte the Linux one.
chinese="$scratch/林登变电站"
mkdir -p "$chinese/导出" "$scratch/linux-export"
cp examples/substation.scd "$chinese/林登.scd"
same "a path in Chinese" all "$chinese/林登.scd"
long="$scratch/$(printf 'verzeichnis-mit-langem-namen-%02d/' $(seq 1 12))"
mkdir -p "$long"
cp examples/substation.scd "$long/Umspannwerk-Lindenstraße.scd"
same "a path of more than 400 characters" all "$long/Umspannwerk-Lindenstraße.scd"
export SOURCE_DATE_EPOCH=1700000000
"$wine" "$exe" export "$chinese/林登.scd" --all -o "$chinese/导出" >/dev/null 2>&1 || fail "export into a path in Chinese"
"$linux" export examples/substation.scd --all -o "$scratch/linux-export" >/dev/null 2>&1
for file in "$scratch"/linux-export/*.ccd; do
  cmp -s "$file" "$chinese/导出/$(basename "$file")" || fail "export: $(basename "$file") differs from the Linux file"
done

# Paths as the user gave them, with single backslashes; the menu takes a
# path in double quotes (Explorer's "Copy as path") whole, and prints no CRC
# for a file it could not read.
daten="$scratch/Daten"
mkdir -p "$daten"
cp examples/substation.scd "$daten/Station Ölsen.scd"
cp examples/substation_rev2.scd "$daten/rev2.scd"
daten_windows=$("$wine" winepath -w "$daten" 2>/dev/null | tr -d '\r')
"$wine" "$exe" all "$daten_windows\\Station Ölsen.scd" "$daten_windows\\rev2.scd" >"$scratch/paths.out" 2>&1
grep -Fxq "$daten_windows\\Station Ölsen.scd:" "$scratch/paths.out" ||
  fail "all does not head its block with the path as given: $(head -n 1 "$scratch/paths.out")"
"$wine" "$exe" export "$daten_windows\\Station Ölsen.scd" PL1101 -o "$daten_windows\\Export\\" >"$scratch/paths.out" 2>&1
grep -Fxq "PL1101  3B04FA6D  $daten_windows\\Export\\PL1101.ccd" "$scratch/paths.out" ||
  fail "export does not name its file with the folder's separator: $(head -n 1 "$scratch/paths.out")"
printf '1\n"%s"\n' "$daten_windows\\Station Ölsen.scd" | "$wine" "$exe" >"$scratch/menu.out" 2>"$scratch/menu.err"
[ "$(grep -c ':[0-9A-F]\{8\}' "$scratch/menu.out")" = 7 ] && grep -q '^PL1101:3B04FA6D' "$scratch/menu.out" ||
  fail "the menu given a quoted path printed: $(tail -n 3 "$scratch/menu.out") $(head -n 2 "$scratch/menu.err")"
printf '1\n"%s"\n' "$daten_windows\\missing.scd" | "$wine" "$exe" >"$scratch/menu.out" 2>"$scratch/menu.err"
status=$?
[ "$status" != 0 ] && ! grep -q ':[0-9A-F]\{8\}' "$scratch/menu.out" ||
  fail "the menu given a missing file ended with status $status and printed: $(tail -n 2 "$scratch/menu.out")"

# Names Windows cannot hold, and two names that differ only in case: the
# same refusals on both, nothing else written, a failing status.
mkdir -p "$scratch/names"
"$wine" "$exe" export tests/data/windows_names.scd --all -o "$scratch/names" >/dev/null 2>"$scratch/names.err"
status=$?
written=$(cd "$scratch/names" && ls | tr '\n' ' ')
[ "$status" = 1 ] || fail "export of names Windows cannot hold ends with status $status"
[ "$written" = "AB.ccd MU1001.ccd " ] || fail "export of names Windows cannot hold wrote: $written"
grep -q "'ab'.*would replace AB.ccd, written for IED 'AB'" "$scratch/names.err" || fail "no case-collision message"
grep -q "'CON'.*reserves CON.ccd" "$scratch/names.err" || fail "no device-name message"
mkdir -p "$scratch/named"
"$wine" "$exe" export tests/data/windows_names.scd ab AB -o "$scratch/named" >/dev/null 2>"$scratch/named.err"
status=$?
written=$(cd "$scratch/named" && ls | tr '\n' ' ')
[ "$status" = 1 ] && [ "$written" = "ab.ccd " ] || fail "export of ab and AB: status $status, wrote $written"
grep -q "'AB'.*would replace ab.ccd, written for IED 'ab'" "$scratch/named.err" || fail "no case-collision message"
# Letters beyond ASCII fold as Windows folds them; COM¹ and LPT0 are devices.
mkdir -p "$scratch/folded"
"$wine" "$exe" export tests/data/folded_names.scd --all -o "$scratch/folded" >/dev/null 2>"$scratch/folded.err"
status=$?
written=$(cd "$scratch/folded" && ls | tr '\n' ' ')
[ "$status" = 1 ] && [ "$written" = "É.ccd Σ.ccd " ] || fail "export of folded names: status $status, wrote $written"
grep -q "'é'.*would replace É.ccd, written for IED 'É'" "$scratch/folded.err" || fail "no É/é collision message"
grep -q "'σ'.*would replace Σ.ccd, written for IED 'Σ'" "$scratch/folded.err" || fail "no Σ/σ collision message"
grep -q "reserves COM¹.ccd" "$scratch/folded.err" || fail "no COM¹ device-name message"

# The DLL exports the C functions and nothing else, as on Linux.
x86_64-w64-mingw32-objdump -p "$windows/ccdcrc.dll" | sed -n '/Ordinal\/Name Pointer/,/^$/p' |
  sed -n 's/^\s*\[ *[0-9]*\] //p' | sort >"$scratch/exports.txt"
sort src/api/exported_symbols.txt | cmp -s - "$scratch/exports.txt" || fail "ccdcrc.dll exports other symbols than src/api/exported_symbols.txt"

# A file dropped onto the program (its one argument) gives what `all` gives;
# "/?" the help.
same "a dropped file" examples/substation.scd
[ "$(cat "$scratch/windows.out")" = "$("$linux" all examples/substation.scd)" ] ||
  fail "a dropped file does not give the CRCs of all"
# On a console (a terminal, as Explorer gives one), the window of a dropped
# file waits for a key, and that of a command does not.
printf x | timeout 60 script -qec "'$wine' '$exe' examples/substation.scd" /dev/null >"$scratch/drop.out" 2>&1
grep -q 'Press any key' "$scratch/drop.out" || fail "the window of a dropped file does not wait for a key"
printf x | timeout 60 script -qec "'$wine' '$exe' all examples/substation.scd" /dev/null >"$scratch/drop.out" 2>&1
! grep -q 'Press any key' "$scratch/drop.out" || fail "the window of a command waits for a key"
"$wine" "$exe" /? >"$scratch/help.out" 2>&1 && grep -q '^Usage:' "$scratch/help.out" || fail "/? prints no help"
"$wine" "$exe" all /? >"$scratch/help.out" 2>&1 && grep -q -- '--excel' "$scratch/help.out" ||
  fail "all /? prints not the help of all"

# A C program linked as MSVC links against ccdcrc.lib (the zip's import
# library, made by MinGW's dlltool): clang for Windows' MSVC ABI, lld-link.
if command -v lld-link >/dev/null && clang --target=x86_64-pc-windows-msvc -ffreestanding -fno-stack-protector -O1 \
     -I"$windows/include" -c tests/windows/msvc_link.c -o "$scratch/msvc_link.obj" 2>"$scratch/cc.err" &&
   lld-link -nologo -entry:start -subsystem:console -nodefaultlib "$scratch/msvc_link.obj" "$windows/ccdcrc.lib" \
     /usr/x86_64-w64-mingw32/lib/libkernel32.a -out:"$scratch/msvc_link.exe" 2>>"$scratch/cc.err"; then
  cp "$windows/ccdcrc.dll" "$scratch/"
  "$wine" "$scratch/msvc_link.exe" >"$scratch/msvc.out" 2>&1 || fail "the program linked by lld-link failed"
  [ "$(tr -s ' ' <"$scratch/msvc.out")" = "$("$linux" all examples/substation.scd | tr -s ' ')" ] ||
    fail "the program linked by lld-link printed: $(head -n 3 "$scratch/msvc.out")"
else
  fail "no program links against ccdcrc.lib as MSVC links: $(head -n 3 "$scratch/cc.err" 2>/dev/null)"
fi

# The C example against the DLL.
if x86_64-w64-mingw32-gcc-posix -std=c11 -Wall -I"$windows/include" examples/all_crcs.c -o "$scratch/all_crcs.exe" \
   -L"$windows" -lccdcrc 2>"$scratch/cc.err"; then
  cp "$windows/ccdcrc.dll" "$scratch/"
  "$wine" "$scratch/all_crcs.exe" examples/substation.scd >"$scratch/c.out" 2>&1 || fail "the C example failed"
  for name in PL1101 PT1001 CL1101 MU1101 MU1001; do
    grep -q "$name" "$scratch/c.out" || fail "the C example printed no CRC of $name"
  done
  # A name that the ANSI code page cannot hold reaches the library in UTF-8.
  cp examples/substation.scd "$scratch/Station_Größe_站.scd"
  "$wine" "$scratch/all_crcs.exe" "$scratch/Station_Größe_站.scd" >"$scratch/c.out" 2>&1
  grep -q '^SCD CRC 2EB5C1E0' "$scratch/c.out" || fail "the C example with a non-ASCII path: $(tail -n 1 "$scratch/c.out")"
else
  fail "the C example does not build against the DLL: $(head -n 3 "$scratch/cc.err")"
fi

if [ "$failures" -gt 0 ]; then
  echo "wine test: $failures failures" >&2
  exit 1
fi
echo "wine test: passed"
