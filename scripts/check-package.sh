#!/usr/bin/env bash
# Makes the Debian package from a build folder and holds it against lintian: no error and no
# warning may remain (informational tags are shown, not counted). The package is made in a
# temporary folder; the build folder is left as it was. With KEEP_DIR the checked package is
# kept there, and only a package that passed.
# Usage: scripts/check-package.sh [BUILD_DIR [KEEP_DIR]]   (default build/release; build it first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
[ -f "$build/CPackConfig.cmake" ] || { echo "configure and build $build first" >&2; exit 2; }
command -v lintian >/dev/null || { echo "needs lintian (scripts/install-deps.sh)" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; exit 1; }
deb=$(find "$out" -maxdepth 1 -name '*.deb' | head -n 1)
[ -n "$deb" ] || { echo "cpack made no .deb" >&2; exit 1; }
# lintian exits 1 when it found errors (counted below) and 2 when it could not run: that is a
# failure of its own, never a clean pass.
status=0
lintian --display-info "$deb" >"$out/lintian.log" 2>"$out/lintian.err" || status=$?
cat "$out/lintian.log"
if [ "$status" -gt 1 ]; then
  cat "$out/lintian.err" >&2
  echo "lintian could not check $(basename "$deb") (exit $status)" >&2
  exit 1
fi
if grep -qE '^[EW]: ' "$out/lintian.log"; then
  echo "lintian: $(basename "$deb") has errors or warnings" >&2
  exit 1
fi
echo "lintian: $(basename "$deb") has no errors and no warnings"
if [ -n "${2:-}" ]; then
  mkdir -p "$2"
  cp "$deb" "$2/"
fi
