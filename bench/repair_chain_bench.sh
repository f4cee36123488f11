#!/usr/bin/env bash
# What the record of repairs costs as its history grows: on a copy of the 1,000,000-code account
# set, seven Updates each followed by an undo that breaks the flags again (so that every Update
# repairs as many flags as the first), with the wall time and peak memory of each command and
# the record's size after it. Targets: the seventh Update at most 1.25x the first (time and peak
# memory); an undo at most 1.3x the time of the Update before it and under 64 MB.
# Usage: bench/repair_chain_bench.sh [BUILD_DIR] [FILE.mdb]
#        (defaults build/release and ../shared/fixtures/bench/narrow-1m.mdb; build it first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
source_file=${2:-../shared/fixtures/bench/narrow-1m.mdb}
cli=$build/src/cli/leafward-cli
[ -x "$cli" ] || { echo "build $build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
set_file=$work/set.mdb
export LEAFWARD_RECORD_DIR=$work/records
cp "$source_file" "$set_file"
chmod u+w "$set_file"

# Runs a command under /usr/bin/time -v; prints "<seconds> <peak MB>" and fails with it.
measure() {
  /usr/bin/time -v -o "$work/time" "$@" >"$work/out" 2>"$work/err" ||
    { echo "failed: $*" >&2; cat "$work/err" >&2; exit 1; }
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                for (i = 1; i <= n; i++) s = s * 60 + t[i]; wall = s }
              /Maximum resident set size/ { rss = $2 / 1024 }
              END { printf "%.3f %.1f", wall, rss }' "$work/time"
}

record_size() {
  du -b "$LEAFWARD_RECORD_DIR"/*.csv 2>/dev/null | awk '{ s += $1 } END { printf "%.1f", s / 1048576 }'
}

echo "== $(basename "$source_file"): seven Updates, each followed by an undo (seconds, peak MB, record MB)"
first_time="" first_rss=""
for round in 1 2 3 4 5 6 7; do
  read -r update_time update_rss <<<"$(measure "$cli" update "$set_file")"
  update_record=$(record_size)
  read -r undo_time undo_rss <<<"$(measure "$cli" undo "$set_file")"
  printf 'round %d: update %s s %s MB (record %s MB), undo %s s %s MB (record %s MB), undo/update %.2f\n' \
    "$round" "$update_time" "$update_rss" "$update_record" "$undo_time" "$undo_rss" \
    "$(record_size)" "$(awk -v a="$undo_time" -v b="$update_time" 'BEGIN { print a / b }')"
  if [ "$round" = 1 ]; then first_time=$update_time first_rss=$update_rss; fi
done
awk -v t1="$first_time" -v m1="$first_rss" -v t7="$update_time" -v m7="$update_rss" \
  'BEGIN { printf "seventh update against the first: %.2fx the time, %.2fx the peak memory\n", t7 / t1, m7 / m1 }'
