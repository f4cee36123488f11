#!/usr/bin/env bash
# Installs Leafward's Windows installer silently under Wine, in a Wine prefix of its own, checks
# what a user then finds, uninstalls it silently and checks that nothing is left:
#   scripts/test-windows-installer.sh INSTALLER.exe
# Installed: leafward.exe and leafward-cli.exe in C:\Program Files\Leafward (and the CLI runs),
# a Start-menu shortcut to the window, the uninstaller and its Apps-and-features entry (in the
# 64-bit registry) with the window's icon, its size and place, and NoModify and NoRepair as the
# numbers Windows reads. Uninstalled: the folder, the shortcut, the entry and the whole of
# HKLM\Software\Leafward are gone. Wine says 0 also for a program it could not start, so only
# what the installer left counts, never an exit code.
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
# A value of a key as "TYPE DATA" (REG_SZ text, REG_DWORD 0x...), or nothing when it is not there.
value() {
  "$wine" reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p"
}
registry() { value "$entry" "$1" | sed -n 's/^REG_SZ //p'; }
# reg query on a key: it answers a key without values or subkeys (an empty key left behind)
# with nothing at all, and a missing key with "Unable to find": only that answer means gone.
# (reg's own exit code counts only where it says the key is there.)
reg_query() { "$wine" reg query "$1" </dev/null 2>&1 | tr -d '\r'; }
key_exists() {
  local answer
  answer="$(reg_query "$1")" && ! grep -q 'Unable to find' <<<"$answer"
}
key_gone() {
  local answer
  answer="$(reg_query "$1")" || true
  grep -q 'Unable to find the specified registry key' <<<"$answer"
}
# The installed files' size in KB, rounded up per file as Windows counts it at the least.
installed_kb() { find "$programs" -type f -printf '%s\n' | awk '{ kb += int(($1 + 1023) / 1024) } END { print kb }'; }
# True when the entry's EstimatedSize is a number within 10 % of the installed files' size.
size_matches() {
  local size
  size="$(value "$entry" EstimatedSize)"
  case "$size" in REG_DWORD\ 0x*) ;; *) echo "  EstimatedSize is '$size'"; return 1 ;; esac
  local kb=$((${size#REG_DWORD })) files
  files="$(installed_kb)"
  echo "  EstimatedSize $kb KB, the files $files KB"
  [ "$kb" -gt 0 ] && [ $((kb * 10)) -ge $((files * 9)) ] && [ $((kb * 10)) -le $((files * 11)) ]
}

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
check "its place" test "$(value "$entry" InstallLocation)" = 'REG_SZ C:\Program Files\Leafward'
check "NoModify is the number 1" test "$(value "$entry" NoModify)" = 'REG_DWORD 0x1'
check "NoRepair is the number 1" test "$(value "$entry" NoRepair)" = 'REG_DWORD 0x1'
check "its size in KB" size_matches
check "no web address, the project having none" test -z "$(value "$entry" URLInfoAbout)$(value "$entry" HelpLink)"
check "the installer's own key" key_exists 'HKLM\Software\Leafward'

# The uninstaller copies itself away and goes on in the background: wait for what it removes.
"$wine" 'C:\Program Files\Leafward\Uninstall.exe' /S </dev/null >/dev/null 2>&1 || true
for _ in $(seq 120); do
  [ -e "$programs" ] || [ -e "$menu" ] || break
  sleep 0.5
done
check "programs removed" test ! -e "$programs"
check "Start-menu folder removed" test ! -e "$menu"
check "Apps-and-features entry removed" key_gone "$entry"
check "HKLM\Software\Leafward removed, no empty key left" key_gone 'HKLM\Software\Leafward'

if [ "$failures" -ne 0 ]; then
  echo "test-windows-installer: $failures checks failed"
  exit 1
fi
echo "test-windows-installer: every check passed"
