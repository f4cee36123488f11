#!/usr/bin/env bash
# The CPU the idle Win32 window (leafward.exe) uses under Wine, on a virtual display and in a
# Wine prefix of its own: the program's own time and the Wine server's (which carries
# every message and timer of the program), over 30 s (LEAFWARD_IDLE_SECONDS). Target: under
# 0.5 % of one core, as the Qt window.
#   bench/win32_idle_bench.sh [WINDOWS_BUILD_DIR]   # default build/windows-release
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build/windows-release}")"
program="$build/src/ui/win32/leafward.exe"
[ -f "$program" ] || { echo "missing $program: build the windows-release preset first" >&2; exit 2; }
wine="$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1)"
server="$(command -v /usr/lib/wine/wineserver64 wineserver | head -n 1)"
work="$(mktemp -d "${TMPDIR:-/tmp}/leafward-idle-XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb=""
finish() {
  "$server" -k >/dev/null 2>&1 || true
  "$server" -w >/dev/null 2>&1 || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
mkdir -p "$WINEPREFIX"
"$server" -p
"$wine" wineboot -i </dev/null >/dev/null 2>&1
"$wine" "$program" </dev/null >/dev/null 2>&1 &
# The Windows program runs as its own Unix process; find it by its name.
app=""
for _ in $(seq 100); do
  app="$(pgrep -n -f 'leafward\.exe$' || true)"
  [ -n "$app" ] && break
  sleep 0.1
done
[ -n "$app" ] || { echo "leafward.exe did not start" >&2; exit 1; }
# This prefix's server: the one started with this prefix in its environment.
wineserver_pid=""
for pid in $(pgrep -f "^$server"); do
  if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
    wineserver_pid=$pid
  fi
done
seconds="${LEAFWARD_IDLE_SECONDS:-30}"
sleep 5  # let it start and settle
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks "$app")
server_before=$(ticks "$wineserver_pid")
sleep "$seconds"
after=$(ticks "$app")
server_after=$(ticks "$wineserver_pid")
awk -v d=$((after - before)) -v s=$((server_after - server_before)) -v hz="$hz" -v t="$seconds" '
BEGIN {
  printf "leafward.exe over %d s: %.2f %% of one core (%d ticks of 1/%d s)\n", t, d / hz / t * 100, d, hz
  printf "Wine server over %d s:  %.2f %% of one core (%d ticks)\n", t, s / hz / t * 100, s
}'
