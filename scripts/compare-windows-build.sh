#!/usr/bin/env bash
# Runs the Linux and the Windows leafward-cli (the latter under Wine) on every test database,
# each copied under a Chinese file name, and checks that they agree byte for byte: Check
# reports, query rows of every table, Update reports, exit codes and the updated files.
#   scripts/compare-windows-build.sh [LINUX_BUILD_DIR] [WINDOWS_BUILD_DIR]
# (by default build/test and build/windows, as the presets make them).
# Every comparison is made and every difference reported, with what both programs said on
# standard error; a Windows run that Wine itself failed (it could not start the program, or
# lost its server) is reported as that, not as a difference. Exits 1 when anything failed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
# Absolute paths: the programs run in folders of their own.
linux_build="$(realpath -m "${1:-$root/build/test}")"
windows_build="$(realpath -m "${2:-$root/build/windows}")"
linux_cli="$linux_build/src/cli/leafward-cli"
windows_cli="$windows_build/src/cli/leafward-cli.exe"
wine="$windows_build/wine-run.sh"
for program in "$linux_cli" "$windows_cli" "$wine"; do
  [ -x "$program" ] || { echo "missing $program: build the test and windows presets first" >&2; exit 2; }
done
# One Wine server for all the Windows runs below.
if [ "${LEAFWARD_WINE_SERVER_HELD:-}" != "$windows_build" ]; then
  exec "$root/scripts/with-wine-server.sh" "$windows_build" "$0" "$linux_build" "$windows_build"
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/linux" "$work/windows"
compared=0
differed=0
wine_failed=0

# Runs one leafward-cli in its side's folder; its standard output, standard error and exit code
# go to $work/SIDE.out, .err and .status.
run() {
  local side="$1"
  shift
  local status=0
  # Each side's records of the repairs stay in this run's folder, never in the user's own.
  if [ "$side" = linux ]; then
    (cd "$work/linux" && LEAFWARD_RECORD_DIR="$work/linux-records" "$linux_cli" "$@") \
      >"$work/linux.out" 2>"$work/linux.err" || status=$?
  else
    (cd "$work/windows" && LEAFWARD_RECORD_DIR="Z:$work/windows-records" \
      "$wine" "$windows_cli" "$@") >"$work/windows.out" 2>"$work/windows.err" </dev/null ||
      status=$?
  fi
  echo "$status" >"$work/$side.status"
}

# True when Wine, not leafward-cli, ended the last Windows run: Wine's own complaints (on either
# stream) begin with "wine" or say that nothing was started. An exit code above leafward-cli's
# own (0 to 3) without such a complaint is the program's fault: a difference, shown as one.
wine_failure() {
  grep -q -E '^wine(:| client error)|wine client error|^Application could not be started|^ShellExecuteEx failed' \
    "$work/windows.err" "$work/windows.out"
}

show_stderr() {
  echo "  Linux said (exit $(cat "$work/linux.status")):"
  sed -n '1,5s/^/    /p' "$work/linux.err"
  echo "  Windows said (exit $(cat "$work/windows.status")):"
  sed -n '1,5s/^/    /p' "$work/windows.err"
  if wine_failure; then
    echo "  Windows printed:"
    sed -n '1,5s/^/    /p' "$work/windows.out"
  fi
}

# Runs both programs with the same arguments and compares what they printed and their exit codes;
# returns 1 when Wine failed the Windows run.
compare() {
  local what="$1"
  shift
  run linux "$@"
  run windows "$@"
  compared=$((compared + 1))
  if wine_failure; then
    wine_failed=$((wine_failed + 1))
    echo "WINE FAILED: $what (Wine did not run leafward-cli.exe to its end)"
    show_stderr
    return 1
  fi
  if cmp -s "$work/linux.out" "$work/windows.out" &&
    cmp -s "$work/linux.status" "$work/windows.status"; then
    return 0
  fi
  differed=$((differed + 1))
  echo "DIFFERENT: $what"
  diff "$work/linux.out" "$work/windows.out" >"$work/diff" || true
  sed -n '1,20p' "$work/diff"
  show_stderr
}

for database in "$root"/tests/data/account-sets/*.mdb "$root"/tests/data/jet-samples/*.mdb; do
  name="账套 $(basename "$database")"
  cp "$database" "$work/linux/$name"
  cp "$database" "$work/windows/$name"
  compare "check $name" check "$name" || true
  # One name a line: a table name may hold spaces. A database the oracle cannot list is a
  # failure, not a database without tables.
  if ! mdb-tables -1 "$database" >"$work/tables" 2>"$work/tables.err"; then
    compared=$((compared + 1))
    differed=$((differed + 1))
    echo "FAILED: mdb-tables could not list the tables of $name"
    sed 's/^/    /' "$work/tables.err"
  fi
  mapfile -t tables <"$work/tables"
  for table in "${tables[@]}"; do
    compare "query $name $table" query "$name" "SELECT * FROM [$table]" || true
  done
  # After an update that Wine did not run to its end, the two files and their checks are bound
  # to differ: that is the one Wine failure already counted, not more differences.
  if ! compare "update $name" update "$name"; then
    echo "  skipped: the file $name after update, and its check"
    continue
  fi
  compared=$((compared + 1))
  if ! cmp -s "$work/linux/$name" "$work/windows/$name"; then
    differed=$((differed + 1))
    echo "DIFFERENT: the file $name after update"
  fi
  compare "check after update $name" check "$name" || true
done
failed=$((differed + wine_failed))
echo "compare-windows-build: $((compared - failed)) passed, $differed differed, $wine_failed not run to the end by Wine"
[ "$failed" -eq 0 ] || exit 1
