#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Leafward need.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-format
  libgtest-dev libgmock-dev
  mdbtools
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl1-mesa-dev qt6-translations-l10n
  unixodbc unixodbc-dev tdsodbc libsqliteodbc
  xvfb xauth
  fonts-droid-fallback time strace
  # CI compiles each source once for the test and the release builds alike (.ci/run).
  ccache
  # The JSON and CSV output's test: its schemas and the README's jq query.
  python3-jsonschema jq
  # The Debian package check (scripts/check-package.sh).
  lintian
  # The workflow check (scripts/check-workflows.py) reads the workflows with a YAML parser.
  python3 python3-yaml
  # The Windows build from here: MinGW-w64 (posix threads), GoogleTest's sources to build for
  # it, Wine to run the Windows tests, rsvg-convert to draw the window's pictures, makensis
  # for the installer, and a CJK font that also draws Latin letters for the window's tests.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev googletest wine wine64 librsvg2-bin nsis fonts-wqy-microhei
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Debian's tdsodbc does not always register its driver; Leafward looks for it as "FreeTDS".
if ! odbcinst -q -d 2>/dev/null | grep -qx '\[FreeTDS\]' && [ -f /usr/share/tdsodbc/odbcinst.ini ]; then
  $sudo_cmd odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini
fi
