#!/usr/bin/env bash
# Holds the release scripts to what they promise, each on a case it must accept and cases it
# must refuse: the tag check, the release files and their SHA256SUMS, the publishing step (with
# `echo` standing in for gh), the imports check on a Windows program linked statically and on
# one planted with the DLLs of the C++ runtime, the screenshot check and the workflow check.
#   scripts/test-release-scripts.sh
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
scripts="$root/scripts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
# expect STATUS WHAT COMMAND...: the command must end with STATUS (0, or "fail" for any other).
expect() {
  local want="$1" what="$2"
  shift 2
  local status=0
  "$@" >"$work/out" 2>&1 || status=$?
  if { [ "$want" = fail ] && [ "$status" -ne 0 ]; } || [ "$status" = "$want" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what (exit $status)"
    sed 's/^/    /' "$work/out"
  fi
}
# expect_output PATTERN WHAT: the last command's output must match the extended regex.
expect_output() {
  if grep -qE "$1" "$work/out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $2: no '$1' in"
    sed 's/^/    /' "$work/out"
  fi
}

version="$("$scripts/check-version-tag.sh")"
expect 0 "the tag of the version" "$scripts/check-version-tag.sh" "v$version"
expect 0 "the tag as GitHub names its ref" "$scripts/check-version-tag.sh" "refs/tags/v$version"
expect fail "a tag of another version" "$scripts/check-version-tag.sh" "v$version.1"
expect fail "a tag without its v" "$scripts/check-version-tag.sh" "$version"

# Stand-ins for the three release files.
mkdir -p "$work/in"
installer="$work/in/leafward-$version-win64.exe"
zip="$work/in/leafward-$version-win64.zip"
deb="$work/in/leafward_${version}_amd64.deb"
echo installer >"$installer"
echo zip >"$zip"
echo deb >"$deb"
expect 0 "release files made" "$scripts/release-files.sh" "$work/dist" "$installer" "$zip" "$deb"
expect 0 "release files verified" "$scripts/release-files.sh" --verify "$work/dist"
expect 0 "SHA256SUMS checks as a user checks it" sh -c "cd '$work/dist' && sha256sum -c SHA256SUMS"
expect 0 "published with the four files" env LEAFWARD_GH=echo \
  "$scripts/publish-release.sh" "v$version" "$work/dist"
expect_output "^release create v$version .*/leafward-$version-win64.exe .*/leafward-$version-win64.zip .*/leafward_${version}_amd64.deb .*/SHA256SUMS$" \
  "the release names the tag and the four files"
expect fail "published under a tag of another version" env LEAFWARD_GH=echo \
  "$scripts/publish-release.sh" "v$version.1" "$work/dist"
cp -r "$work/dist" "$work/tampered"
echo changed >"$work/tampered/leafward-$version-win64.zip"
expect fail "a file that changed after its checksum" "$scripts/release-files.sh" --verify "$work/tampered"
expect fail "published with a file that changed" env LEAFWARD_GH=echo \
  "$scripts/publish-release.sh" "v$version" "$work/tampered"
cp -r "$work/dist" "$work/extra"
echo more >"$work/extra/leafward-tests.zip"
expect fail "a file that is no release file" "$scripts/release-files.sh" --verify "$work/extra"
cp -r "$work/dist" "$work/missing"
rm "$work/missing/leafward_${version}_amd64.deb"
expect fail "a release file missing" "$scripts/release-files.sh" --verify "$work/missing"
cp "$zip" "$work/in/leafward-0.0.0-win64.zip"
expect fail "a file of another version" "$scripts/release-files.sh" "$work/dist2" \
  "$installer" "$work/in/leafward-0.0.0-win64.zip" "$deb"

# A Windows program linked as the project links its programs passes; the same program planted
# without the static runtime, as the programs were once built on Windows, must fail on the
# DLLs of GCC's C++ runtime.
cat >"$work/program.cpp" <<'EOF'
#include <iostream>
#include <string>
#include <thread>
int main() {
  std::string text;
  std::thread worker([&] { text = "hello"; });
  worker.join();
  std::cout << text << '\n';
}
EOF
gxx=x86_64-w64-mingw32-g++-posix
mkdir -p "$work/static" "$work/planted"
expect 0 "the static program builds" \
  "$gxx" -std=c++20 "$work/program.cpp" -o "$work/static/program.exe" -static -static-libgcc -static-libstdc++
expect 0 "the planted program builds" "$gxx" -std=c++20 "$work/program.cpp" -o "$work/planted/program.exe"
expect 0 "a statically linked program imports only Windows's DLLs" \
  "$scripts/check-windows-imports.sh" "$work/static"
expect 1 "a program that needs GCC's runtime DLLs" "$scripts/check-windows-imports.sh" "$work/planted"
expect_output "NOT PART OF WINDOWS: .*libstdc\+\+-6\.dll" "libstdc++-6.dll named as foreign"
(cd "$work/planted" && cmake -E tar cf "$work/planted.zip" --format=zip program.exe)
expect 1 "the same program inside a ZIP" "$scripts/check-windows-imports.sh" "$work/planted.zip"
expect 2 "a folder without programs" "$scripts/check-windows-imports.sh" "$work/in"

mkdir -p "$work/pictures" "$work/not-pictures"
printf '\211PNG\r\n\032\n' >"$work/pictures/main-window.png"
echo "not a picture" >"$work/not-pictures/main-window.png"
expect 0 "a folder of screenshots" "$scripts/check-screenshots.sh" "$work/pictures"
expect fail "a folder without screenshots" "$scripts/check-screenshots.sh" "$work/in"
expect fail "a screenshot that is no PNG" "$scripts/check-screenshots.sh" "$work/not-pictures"
expect fail "no folder of screenshots" "$scripts/check-screenshots.sh" "$work/nowhere"

expect 0 "the workflows run scripts of the repository" python3 "$scripts/check-workflows.py"
cat >"$work/bad.yml" <<'EOF'
name: bad
on: push
jobs:
  build:
    runs-on: windows-latest
    steps:
      - uses: actions/checkout@v4
      - uses: some/action@v1
      - run: |
          cmake --build build
          ctest
      - run: ./scripts/no-such-script.sh
      - uses: actions/upload-artifact@v4
        with:
          path: build/screenshots/
          if-no-files-found: ignore
EOF
expect fail "a workflow of inline commands" python3 "$scripts/check-workflows.py" "$work/bad.yml"
for problem in "no concurrency group" "no timeout-minutes" "some/action, which is not" \
  "runs more than one script" "no-such-script.sh', which is no file" "finds no file must fail"; do
  expect_output "$problem" "the workflow check finds: $problem"
done

echo "test-release-scripts: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
