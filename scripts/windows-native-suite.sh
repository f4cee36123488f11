#!/usr/bin/env bash
# On Windows, in MSYS2's UCRT64 shell (after scripts/msys2-install.sh): builds both programs and
# every test natively, runs the whole suite with the window's flows on this desktop, keeping
# their screenshots, and fails when the flows left none or when a program needs a DLL that
# Windows does not have.
#   scripts/windows-native-suite.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
screenshots="$root/build/windows-native/tests/ui/win32/screenshots"
rm -rf "$screenshots"
# The window's tests write their pictures where this names (a Windows path).
LEAFWARD_SCREENSHOTS="$(cygpath -w "$screenshots")"
export LEAFWARD_SCREENSHOTS
status=0
cmake --workflow --preset windows-native || status=$?
./scripts/check-screenshots.sh "$screenshots" || status=1
./scripts/check-windows-imports.sh build/windows-native/src/cli/leafward-cli.exe \
  build/windows-native/src/ui/win32/leafward.exe || status=1
exit "$status"
