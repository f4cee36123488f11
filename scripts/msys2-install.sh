#!/usr/bin/env bash
# Installs what building and testing Leafward on Windows needs, in an MSYS2 UCRT64 shell: the
# packages of packaging/windows/msys2-packages.txt, the pinned ones at exactly their version
# from MSYS2's package archive, and GoogleTest's sources (1.12.1, checked by their SHA-256)
# where the windows-native presets look for them. Fails when a pinned package is not at its
# version afterwards, so that a build never runs with a compiler nobody chose.
#   scripts/msys2-install.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
list="$root/packaging/windows/msys2-packages.txt"
archive=https://repo.msys2.org/mingw/ucrt64
[ "${MSYSTEM:-}" = UCRT64 ] || { echo "run this in MSYS2's UCRT64 shell" >&2; exit 2; }

pinned=()
current=()
while read -r name version _; do
  case "$name" in '' | '#'*) continue ;; esac
  if [ "$version" = - ]; then
    current+=("$name")
  else
    pinned+=("$name=$version")
  fi
done <"$list"

# The pinned ones first, as one transaction, so that they satisfy each other; then the rest,
# which finds its compiler-side dependencies already there.
urls=()
for entry in "${pinned[@]}"; do
  urls+=("$archive/${entry%%=*}-${entry#*=}-any.pkg.tar.zst")
done
# The package lists first: a fresh MSYS2 may have none.
pacman -Sy --noconfirm
pacman -U --noconfirm --needed "${urls[@]}"
pacman -S --noconfirm --needed "${current[@]}"

drifted=0
for entry in "${pinned[@]}"; do
  installed="$(pacman -Q "${entry%%=*}" 2>/dev/null | cut -d' ' -f2 || true)"
  if [ "$installed" != "${entry#*=}" ]; then
    echo "${entry%%=*} is ${installed:-not installed}, not ${entry#*=}" >&2
    drifted=$((drifted + 1))
  fi
done
[ "$drifted" -eq 0 ] || { echo "msys2-install: $drifted pinned packages are not at their version" >&2; exit 1; }
pacman -Q "${pinned[@]%%=*}" "${current[@]}"

# GoogleTest from its sources: a library built by another compiler would not link with this one.
gtest="$root/build/googletest-1.12.1"
if [ ! -f "$gtest/CMakeLists.txt" ]; then
  tarball="$root/build/googletest-1.12.1.tar.gz"
  mkdir -p "$root/build"
  curl -fsSL -o "$tarball" https://github.com/google/googletest/archive/refs/tags/release-1.12.1.tar.gz
  echo "81964fe578e9bd7c94dfdb09c8e4d6e6759e19967e397dbea48d1c10e45d0df2  $tarball" | sha256sum -c -
  rm -rf "$gtest"
  mkdir -p "$gtest"
  tar -xzf "$tarball" -C "$gtest" --strip-components=1
fi
echo "msys2-install: the packages and GoogleTest 1.12.1 are in place"
