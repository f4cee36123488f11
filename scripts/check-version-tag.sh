#!/usr/bin/env bash
# Prints the version that CMakeLists.txt gives the project (project(... VERSION X.Y.Z)); with a
# tag, fails unless the tag is exactly vX.Y.Z of that version, so that a release never carries
# programs that call themselves something else.
#   scripts/check-version-tag.sh [TAG]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
version="$(sed -n 's/^project([^)]*VERSION \([0-9][0-9]*\.[0-9][0-9]*\.[0-9][0-9]*\)[ )].*/\1/p' \
  "$root/CMakeLists.txt" | head -n 1)"
[ -n "$version" ] || { echo "CMakeLists.txt names no project version X.Y.Z" >&2; exit 2; }
if [ $# -eq 0 ]; then
  echo "$version"
  exit 0
fi
tag="${1#refs/tags/}"
if [ "$tag" != "v$version" ]; then
  echo "the tag $tag does not match the version in CMakeLists.txt ($version): tag v$version, or change the version" >&2
  exit 1
fi
echo "$tag matches the version in CMakeLists.txt"
