#!/usr/bin/env bash
# Times `leafward-cli check` on the benchmark account sets (wall time, peak memory), next to
# the time to only read the code table, and measures the CPU the idle main window uses over
# 10 s under Xvfb. Targets: Check on 1,000,000 codes under 3 s; idle window under 1 % of a core.
# Usage: bench/check_bench.sh [BUILD_DIR] [FILE.mdb ...]
#        (defaults build/release and the .mdb files of ../shared/fixtures/bench; build it first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
shift || true
files=("$@")
((${#files[@]})) || files=(../shared/fixtures/bench/*.mdb)
cli=$build/src/cli/leafward-cli
gui=$build/src/ui/qt/leafward
[ -x "$cli" ] && [ -x "$gui" ] || { echo "build $build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs a command under /usr/bin/time -v; prints "<seconds> s, <peak MB> MB peak".
measure() {
  /usr/bin/time -v -o "$work/time" "$@" >"$work/out" 2>"$work/err" || true
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                for (i = 1; i <= n; i++) s = s * 60 + t[i]; wall = s }
              /Maximum resident set size/ { rss = $2 / 1024 }
              END { printf "%.2f s, %.0f MB peak", wall, rss }' "$work/time"
}

echo "== leafward-cli check"
for file in "${files[@]}"; do
  # A private copy: the benchmark files are never opened in place.
  cp "$file" "$work/set.mdb"
  read_only=$(measure "$cli" query "$work/set.mdb" "SELECT ccode, bend FROM code")
  check=$(measure "$cli" check "$work/set.mdb")
  printf '%-22s check: %s   (read code table: %s)   report: %s bytes, %s\n' \
    "$(basename "$file")" "$check" "$read_only" "$(wc -c <"$work/out")" \
    "$(head -c 60 "$work/err" | tr '\n' ' ')"
done

echo "== idle main window (10 s under Xvfb)"
display=:97
Xvfb "$display" -screen 0 1280x800x24 >/dev/null 2>&1 &
xvfb=$!
sleep 1
DISPLAY=$display "$gui" >/dev/null 2>&1 &
app=$!
sleep 2  # let it start and settle
ticks() { awk '{ print $14 + $15 }' "/proc/$app/stat"; }
before=$(ticks)
sleep 10
after=$(ticks)
hz=$(getconf CLK_TCK)
kill "$app" "$xvfb" 2>/dev/null || true
wait 2>/dev/null || true
awk -v d=$((after - before)) -v hz="$hz" \
  'BEGIN { printf "CPU over 10 s: %.2f %% of one core (%d ticks of 1/%d s)\n", d / hz / 10 * 100, d, hz }'
