#!/usr/bin/env bash
# Installs Leafward's Windows installer silently under Wine, in a Wine prefix of its own, checks
# what a user then finds, uninstalls it silently and checks that nothing is left:
#   scripts/test-windows-installer.sh INSTALLER.exe
# Installed: leafward.exe and leafward-cli.exe in C:\Program Files\Leafward (and the CLI runs),
# a Start-menu shortcut to the window, the uninstaller and its Apps-and-features entry (in the
# 64-bit registry) with the window's icon. Wine says 0 also for a program it could not start,
# so only what the installer left counts, never an exit code.
set -euo pipefail
installer="$(realpath "$1")"
wine="$(command -v /usr/lib/wine/wine64 wine64 wine | head -n 1)"
server="$(command -v /usr/lib/wine/wineserver64 wineserver | head -n 1)"
work="$(mktemp -d "${TMPDIR:-/tmp}/leafward-installer-XXXXXX")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
finish() {
  "$server" -k >/dev/null 2>&1 || true
  "$server" -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap finish EXIT
failures=0
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

mkdir -p "$WINEPREFIX"
"$server" -p
"$wine" wineboot -i </dev/null >/dev/null 2>&1
programs="$WINEPREFIX/drive_c/Program Files/Leafward"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Leafward"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Leafward'
registry() { "$wine" reg query "$entry" /v "$1" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$1 *REG_SZ *//p"; }

"$wine" "$installer" /S </dev/null >/dev/null 2>&1 || true
check "leafward.exe installed" test -f "$programs/leafward.exe"
check "leafward-cli.exe installed and runs" \
  sh -c "\"$wine\" 'C:\\Program Files\\Leafward\\leafward-cli.exe' --version 2>/dev/null | grep -q '^leafward-cli '"
check "uninstaller installed" test -f "$programs/Uninstall.exe"
check "Start-menu shortcut to the window" \
  grep -a -q 'C:\\Program Files\\Leafward\\leafward.exe' "$menu/Leafward.lnk"
check "Apps-and-features entry" test "$(registry DisplayName)" = Leafward
check "its icon is the window's" test "$(registry DisplayIcon)" = 'C:\Program Files\Leafward\leafward.exe'
check "its uninstaller" test "$(registry UninstallString)" = '"C:\Program Files\Leafward\Uninstall.exe"'

# The uninstaller copies itself away and goes on in the background: wait for what it removes.
"$wine" 'C:\Program Files\Leafward\Uninstall.exe' /S </dev/null >/dev/null 2>&1 || true
for _ in $(seq 120); do
  [ -e "$programs" ] || [ -e "$menu" ] || break
  sleep 0.5
done
check "programs removed" test ! -e "$programs"
check "Start-menu folder removed" test ! -e "$menu"
check "Apps-and-features entry removed" test -z "$(registry DisplayName)"

if [ "$failures" -ne 0 ]; then
  echo "test-windows-installer: $failures checks failed"
  exit 1
fi
echo "test-windows-installer: every check passed"
