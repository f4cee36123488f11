#!/usr/bin/env bash
# Times `leafward-cli update` on a copy of the 1,000,000-code account set (wall time, peak
# memory), times a second Update that finds nothing left to repair, confirms with Check, then
# repeats the first Update on a fresh copy under strace to count its fsyncs and the bytes it
# wrote to the rollback journal and to the file. Target: Update on 1,000,000 codes under 5 s.
# Usage: bench/update_bench.sh [BUILD_DIR] [FILE.mdb]
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
# The records of the repairs go beside the copy, never into the user's own folder.
export LEAFWARD_RECORD_DIR=$work/records

# A private, writable copy: the shared files are never opened in place.
fresh_copy() {
  cp "$source_file" "$set_file"
  chmod u+w "$set_file"
}

# Runs a command under /usr/bin/time -v; prints "<seconds> s, <peak MB> MB peak, exit <code>".
measure() {
  local code=0
  /usr/bin/time -v -o "$work/time" "$@" >"$work/out" 2>"$work/err" || code=$?
  awk -F': ' -v code="$code" '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0;
                for (i = 1; i <= n; i++) s = s * 60 + t[i]; wall = s }
              /Maximum resident set size/ { rss = $2 / 1024 }
              END { printf "%.2f s, %.0f MB peak, exit %d", wall, rss, code }' "$work/time"
}

echo "== leafward-cli update on $(basename "$source_file") ($(du -m "$source_file" | cut -f1) MB)"
fresh_copy
printf 'update:          %s\n' "$(measure "$cli" update "$set_file")"
sed 's/^/  report: /' "$work/out" | grep -v '^  report: $' || true
printf 'update again:    %s, report %s bytes\n' "$(measure "$cli" update "$set_file")" \
  "$(wc -c <"$work/out")"
printf 'check afterwards: %s\n' "$(measure "$cli" check "$set_file")"
sed 's/^/  report: /' "$work/out" | grep -v '^  report: $' | cut -c1-120 || true

if command -v strace >/dev/null; then
  echo "== the same update on a fresh copy, under strace"
  fresh_copy
  strace -f -y -o "$work/trace" -e trace=fsync,fdatasync,pwrite64,write "$cli" update "$set_file" \
    >/dev/null 2>&1 || true
  awk -v folder="$work>" '/ (fsync|fdatasync)\(.*(leafward-journal|set\.mdb)>/ { syncs++ }
       / (fsync|fdatasync)\(/ && index($0, folder) { syncs++ }
       /pwrite64\(.*leafward-journal>/ { n = $NF + 0; journal += n; records++ }
       /pwrite64\(.*set\.mdb>/ { n = $NF + 0; pages += n; writes++ }
       END { printf "fsyncs:          %d of the journals, the file and their folder (the record has its own)\n", syncs;
             printf "journal written: %d bytes in %d writes (two statements, one journal each)\n", journal, records;
             printf "file written:    %d bytes in %d writes (of a page or a run of pages)\n", pages, writes }' "$work/trace"
else
  echo "(strace is not installed: no fsync count; scripts/install-deps.sh installs it)"
fi
