#!/usr/bin/env bash
# The files of a release, in one folder: the Windows installer, the Windows ZIP and the Debian
# package of the version in CMakeLists.txt, and SHA256SUMS, which lists the checksum of each.
#   scripts/release-files.sh OUT_DIR INSTALLER.exe ZIP.zip PACKAGE.deb
#       copies the three into OUT_DIR (emptied first) and writes OUT_DIR/SHA256SUMS
#   scripts/release-files.sh --verify DIR
#       checks that DIR holds those three files and SHA256SUMS, and nothing else, and that every
#       checksum matches
# Either way the names must carry the project's version, one file of each kind.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version="$("$root/scripts/check-version-tag.sh")"
expected=("leafward-$version-win64.exe" "leafward-$version-win64.zip" "leafward_${version}_amd64.deb")

verify() {
  local dir="$1"
  [ -f "$dir/SHA256SUMS" ] || { echo "no SHA256SUMS in $dir" >&2; return 1; }
  local listed present
  listed="$(sed 's/^[0-9a-f]\{64\}  //' "$dir/SHA256SUMS" | sort | tr '\n' ' ')"
  present="$(cd "$dir" && find . -maxdepth 1 -type f ! -name SHA256SUMS -printf '%f\n' | sort | tr '\n' ' ')"
  local wanted
  wanted="$(printf '%s\n' "${expected[@]}" | sort | tr '\n' ' ')"
  if [ "$present" != "$wanted" ] || [ "$listed" != "$wanted" ]; then
    echo "$dir must hold exactly ${expected[*]} and SHA256SUMS listing them" >&2
    echo "  it holds: $present" >&2
    echo "  SHA256SUMS lists: $listed" >&2
    return 1
  fi
  (cd "$dir" && sha256sum --check --strict SHA256SUMS)
}

if [ "${1:-}" = --verify ]; then
  [ $# -eq 2 ] || { echo "usage: $0 --verify DIR" >&2; exit 2; }
  verify "$2"
  echo "release-files: $2 holds the release of $version, every checksum matching"
  exit 0
fi
[ $# -eq 4 ] || { echo "usage: $0 OUT_DIR INSTALLER.exe ZIP.zip PACKAGE.deb | --verify DIR" >&2; exit 2; }
out="$1"
shift
sources=()
for i in 0 1 2; do
  file="$1"
  shift
  [ -f "$file" ] || { echo "no such file: $file" >&2; exit 2; }
  if [ "$(basename "$file")" != "${expected[$i]}" ]; then
    echo "expected ${expected[$i]} (the version in CMakeLists.txt is $version), got $(basename "$file")" >&2
    exit 1
  fi
  sources+=("$file")
done
rm -rf "$out"
mkdir -p "$out"
cp "${sources[@]}" "$out/"
# Checksums of the names alone, as the files lie on the release page: `sha256sum -c SHA256SUMS`
# there, in the folder of the downloads.
(cd "$out" && sha256sum "${expected[@]}" >SHA256SUMS)
cat "$out/SHA256SUMS"
verify "$out" >/dev/null
echo "release-files: ${expected[*]} and SHA256SUMS in $out"
