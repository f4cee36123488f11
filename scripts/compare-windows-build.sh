#!/usr/bin/env bash
# Runs the Linux and the Windows leafward-cli (the latter under Wine) on every test database,
# each copied under a Chinese file name, and checks that they agree byte for byte: Check
# reports, query rows of every table, Update reports, exit codes and the updated files.
#   scripts/compare-windows-build.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
# (by default build/test and build/windows, as the presets make them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Absolute paths: the programs run in folders of their own.
linux_cli="$(realpath -m "${1:-$root/build/test}")/src/cli/leafward-cli"
windows_build="$(realpath -m "${2:-$root/build/windows}")"
windows_cli="$windows_build/src/cli/leafward-cli.exe"
wine="$windows_build/wine-run.sh"
for program in "$linux_cli" "$windows_cli" "$wine"; do
  [ -x "$program" ] || { echo "missing $program: build the test and windows presets first" >&2; exit 2; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/linux" "$work/windows"
compared=0
differed=0

# Runs one leafward-cli in its folder; prints its standard output and then its exit code (its
# standard error is kept for a difference to show).
run() {
  local side="$1"
  shift
  if [ "$side" = linux ]; then
    (cd "$work/linux" && "$linux_cli" "$@" 2>"$work/linux.err"; echo "exit $?")
  else
    (cd "$work/windows" && "$wine" "$windows_cli" "$@" 2>"$work/windows.err"; echo "exit $?")
  fi
}

same() {
  local what="$1" linux="$2" windows="$3"
  compared=$((compared + 1))
  if [ "$linux" != "$windows" ]; then
    differed=$((differed + 1))
    echo "DIFFERENT: $what"
    diff <(printf '%s' "$linux") <(printf '%s' "$windows") | head -20
    echo "Linux said:" && head -5 "$work/linux.err"
    echo "Windows said:" && head -5 "$work/windows.err"
  fi
}

for database in "$root"/tests/data/account-sets/*.mdb "$root"/tests/data/jet-samples/*.mdb; do
  name="账套 $(basename "$database")"
  cp "$database" "$work/linux/$name"
  cp "$database" "$work/windows/$name"
  same "check $name" "$(run linux check "$name")" "$(run windows check "$name")"
  for table in $(mdb-tables -1 "$database" 2>/dev/null); do
    query="SELECT * FROM [$table]"
    same "query $name $table" "$(run linux query "$name" "$query")" \
      "$(run windows query "$name" "$query")"
  done
  same "update $name" "$(run linux update "$name")" "$(run windows update "$name")"
  cmp -s "$work/linux/$name" "$work/windows/$name" || {
    differed=$((differed + 1))
    echo "DIFFERENT: the file $name after update"
  }
  compared=$((compared + 1))
  same "check after update $name" "$(run linux check "$name")" "$(run windows check "$name")"
done
echo "compare-windows-build: $((compared - differed)) passed, $differed failed"
[ "$differed" -eq 0 ]
