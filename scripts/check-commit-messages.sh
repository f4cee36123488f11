#!/usr/bin/env bash
# Holds every commit after BASE (by default the last commit before the habit was kept) to the way
# this project writes commit messages: a subject of at most 72 characters that says what, a blank
# line, and a body that says why. Merges are let through. A clone without BASE (a shallow one)
# checks the commits it has.
#   scripts/check-commit-messages.sh [BASE]
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v git >/dev/null || ! git rev-parse --git-dir >/dev/null 2>&1; then
  echo "check-commit-messages: not a git clone (or git cannot read it): no commits to check"
  exit 0
fi
base=${1:-6ed43da0b1425455214a0f9e9686b891d0821f8b}
if git cat-file -e "$base^{commit}" 2>/dev/null; then
  range="$base..HEAD"
else
  echo "check-commit-messages: $base is not in this clone; checking the commits it holds"
  range=HEAD
fi
bad=0
checked=0
while IFS= read -r commit; do
  checked=$((checked + 1))
  subject=$(git log -1 --format=%s "$commit")
  body=$(git log -1 --format=%b "$commit" | sed '/^[[:space:]]*$/d')
  second=$(git log -1 --format=%B "$commit" | sed -n 2p)
  length=$(printf '%s' "$subject" | LC_ALL=C.UTF-8 wc -m)
  if [ "$length" -gt 72 ]; then
    echo "check-commit-messages: $commit: a subject of $length characters (at most 72): $subject" >&2
    bad=1
  fi
  if [ -z "$body" ] || [ -n "$second" ]; then
    echo "check-commit-messages: $commit: no body after a blank line, saying why: $subject" >&2
    bad=1
  fi
done < <(git rev-list --no-merges "$range")
[ "$bad" -eq 0 ] || exit 1
echo "check-commit-messages: $checked commits as this project writes them"
