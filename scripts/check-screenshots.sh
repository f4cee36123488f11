#!/usr/bin/env bash
# Fails unless the window's tests left their screenshots: at least one PNG picture in FOLDER,
# none of them empty or anything but a PNG. An upload that silently finds nothing hides a
# flow that never drew the window.
#   scripts/check-screenshots.sh FOLDER
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 FOLDER" >&2; exit 2; }
folder="$1"
[ -d "$folder" ] || { echo "check-screenshots: no folder $folder: the window's tests made no screenshot" >&2; exit 1; }
count=0
bad=0
while IFS= read -r -d '' picture; do
  count=$((count + 1))
  # Every PNG begins with the same eight bytes: 89 50 4E 47 0D 0A 1A 0A.
  if [ "$(head -c 8 "$picture" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "not a PNG picture: $picture" >&2
    bad=$((bad + 1))
  fi
done < <(find "$folder" -maxdepth 1 -type f -name '*.png' -print0)
[ "$count" -gt 0 ] || { echo "check-screenshots: no screenshot in $folder" >&2; exit 1; }
[ "$bad" -eq 0 ] || exit 1
echo "check-screenshots: $count screenshots in $folder"
