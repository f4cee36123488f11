#!/usr/bin/env bash
# Holds `leafward-cli check` (or `update`) against `mdb-export FILE code`, the time it takes
# merely to print the table, on the same machine in the same minutes: each of ROUNDS rounds
# runs mdb-export and then leafward-cli back to back, so that a busy neighbour slows both.
# Prints the median wall time of each, the ratio of the medians, the median of the per-round
# ratios and the peak memory of each (/usr/bin/time -v), per file.
# Usage: bench/paired_bench.sh [--update | --format json|csv] [--rounds N] [BUILD_DIR] [FILE.mdb ...]
#        (defaults: check, 7 rounds, build/release, the .mdb files of ../shared/fixtures/bench;
#        --format times the check that also reads each wrong flag's details, as the window does)
set -euo pipefail
cd "$(dirname "$0")/.."
command=check
format=()
rounds=7
while (($#)); do
  case $1 in
    --update) command=update; shift ;;
    --format) format=(--format "$2"); shift 2 ;;
    --rounds) rounds=$2; shift 2 ;;
    *) break ;;
  esac
done
build=${1:-build/release}
shift || true
files=("$@")
((${#files[@]})) || files=(../shared/fixtures/bench/*.mdb)
cli=$build/src/cli/leafward-cli
[ -x "$cli" ] || { echo "build $build first" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package 'time')" >&2; exit 2; }
command -v mdb-export >/dev/null || { echo "needs mdb-export (Debian package 'mdbtools')" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# An update writes its record of the repair; each round's goes to a folder of its own, so that
# no round reads the records of the rounds before it (and none lands in the user's own).
export LEAFWARD_RECORD_DIR=$work/records

# Runs a command under /usr/bin/time -v, output thrown away; prints "<seconds> <peak KB>".
# The wall time is taken around it in nanoseconds: time -v shows only hundredths.
timed() {
  local start end status=0
  start=$(date +%s%N)
  /usr/bin/time -v -o "$work/time" "$@" >/dev/null 2>"$work/err" || status=$?
  end=$(date +%s%N)
  # check exits 1 when it finds something wrong; anything else means the run itself failed.
  if ((status > 1)) || { [ "$2" = update ] && ((status != 0)); }; then
    echo "$* failed (exit $status):" >&2
    cat "$work/err" >&2
    exit 1
  fi
  awk -v ns=$((end - start)) '/Maximum resident set size/ { kb = $NF }
       END { printf "%.4f %d\n", ns / 1e9, kb }' "$work/time"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "== leafward-cli $command ${format[*]} against mdb-export FILE code, $rounds rounds; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-22s %12s %12s %8s %10s %12s %12s\n' file mdb-export leafward ratio "(paired)" "export MB" "leafward MB"
for file in "${files[@]}"; do
  : >"$work/rows"
  for ((round = 0; round < rounds; round++)); do
    # A private copy, made afresh for every update: the shared files are never opened in place.
    cp "$file" "$work/set.mdb"
    chmod u+w "$work/set.mdb"
    rm -rf "$LEAFWARD_RECORD_DIR"
    read -r export_s export_kb < <(timed mdb-export "$work/set.mdb" code)
    read -r ours_s ours_kb < <(timed "$cli" "$command" "${format[@]}" "$work/set.mdb")
    echo "$export_s $ours_s $export_kb $ours_kb" >>"$work/rows"
  done
  export_median=$(cut -d' ' -f1 "$work/rows" | median)
  ours_median=$(cut -d' ' -f2 "$work/rows" | median)
  paired=$(awk '{ print $2 / $1 }' "$work/rows" | median)
  export_mb=$(awk '$3 > m { m = $3 } END { printf "%.1f", m / 1024 }' "$work/rows")
  ours_mb=$(awk '$4 > m { m = $4 } END { printf "%.1f", m / 1024 }' "$work/rows")
  printf '%-22s %10.3f s %10.3f s %7.2fx %9.2fx %12s %12s\n' "$(basename "$file")" \
    "$export_median" "$ours_median" "$(awk -v a="$ours_median" -v b="$export_median" 'BEGIN { print a / b }')" \
    "$paired" "$export_mb" "$ours_mb"
done
