#!/usr/bin/env bash
# Publishes a tagged release on GitHub: checks that the tag is the version in CMakeLists.txt and
# that DIR holds exactly the release files with matching checksums (scripts/release-files.sh),
# then makes the release of the tag with those files attached, through GitHub's `gh` program
# (LEAFWARD_GH names another program, e.g. `echo` to see what would be run).
#   scripts/publish-release.sh TAG DIR
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 TAG DIR" >&2; exit 2; }
root="$(cd "$(dirname "$0")/.." && pwd)"
tag="${1#refs/tags/}"
dir="$2"
"$root/scripts/check-version-tag.sh" "$tag"
"$root/scripts/release-files.sh" --verify "$dir"
version="${tag#v}"
notes="Leafward $version. Windows: the installer leafward-$version-win64.exe or the portable leafward-$version-win64.zip. Debian 12: leafward_${version}_amd64.deb. SHA256SUMS lists the checksum of each: \`sha256sum -c SHA256SUMS --ignore-missing\` in the folder of the downloads."
"${LEAFWARD_GH:-gh}" release create "$tag" --verify-tag --title "Leafward $version" \
  --notes "$notes" "$dir/leafward-$version-win64.exe" "$dir/leafward-$version-win64.zip" \
  "$dir/leafward_${version}_amd64.deb" "$dir/SHA256SUMS"
