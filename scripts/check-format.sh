#!/usr/bin/env bash
# Fails, naming the files, when a C++ file the repository holds is not as clang-format (the
# repository's .clang-format) would write it. `clang-format -i FILE` puts one right.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "check-format: clang-format is not installed" >&2; exit 1; }
# Found on disk, not asked of git: a CI checkout need not be a git clone.
mapfile -t files < <(find src tests bench \( -name '*.cpp' -o -name '*.h' \) -type f | sort)
if [ "${#files[@]}" -eq 0 ]; then
  echo "check-format: no C++ files found (run it inside the repository's clone)" >&2
  exit 1
fi
# One run over every file; each complaint starts with the file's name.
mapfile -t unformatted < <(clang-format --dry-run -Werror "${files[@]}" 2>&1 >/dev/null |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: .*/\1/p' | sort -u)
if [ "${#unformatted[@]}" -ne 0 ]; then
  echo "check-format: not as clang-format writes them (clang-format -i puts them right):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files as clang-format writes them"
