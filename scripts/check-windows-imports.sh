#!/usr/bin/env bash
# Lists the DLLs each Windows program imports and fails when one of them is not a part of
# Windows itself: a program that needs libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll
# or any other DLL of a toolchain starts on the machine that built it and on no user's PC.
#   scripts/check-windows-imports.sh PATH...
# Each PATH is an .exe, a folder (its .exe files, at any depth) or a .zip (its .exe files).
# Exits 1 when a program imports a DLL outside the list below, 2 when it found no program or
# could not read one.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 EXE|FOLDER|ZIP..." >&2; exit 2; }
objdump="$(command -v x86_64-w64-mingw32-objdump objdump | head -n 1)"
[ -n "$objdump" ] || { echo "needs objdump for PE files (binutils-mingw-w64-x86-64)" >&2; exit 2; }

# The DLLs of Windows 10 and 11 that the programs import, in capitals: what leafward.exe and
# leafward-cli.exe name today, and nothing more, so that a new import is looked at before it
# ships. The C runtime is the toolchain's: msvcrt.dll (Debian's MinGW-w64) or the Universal CRT
# (MSYS2's UCRT64, through ucrtbase.dll and its api-ms-win-crt-* names).
system_dll() {
  case "$1" in
    KERNEL32.DLL | USER32.DLL | GDI32.DLL | ADVAPI32.DLL | SHELL32.DLL | OLE32.DLL | \
      COMCTL32.DLL | COMDLG32.DLL | IMM32.DLL | ODBC32.DLL | WS2_32.DLL | \
      MSVCRT.DLL | UCRTBASE.DLL | API-MS-WIN-CRT-*-L1-1-0.DLL)
      return 0
      ;;
  esac
  return 1
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
programs=()
for path in "$@"; do
  case "$path" in
    *.zip | *.ZIP)
      [ -f "$path" ] || { echo "no such file: $path" >&2; exit 2; }
      archive="$(realpath "$path")"
      # Shown as ZIP/folder/program.exe.
      unpacked="$work/${#programs[@]}/$(basename "$path")"
      mkdir -p "$unpacked"
      (cd "$unpacked" && cmake -E tar xf "$archive") || { echo "cannot unpack $path" >&2; exit 2; }
      mapfile -t -O "${#programs[@]}" programs < <(find "$unpacked" -type f -iname '*.exe' | sort)
      ;;
    *)
      [ -e "$path" ] || { echo "no such file or folder: $path" >&2; exit 2; }
      mapfile -t -O "${#programs[@]}" programs < <(find "$path" -type f -iname '*.exe' | sort)
      ;;
  esac
done
[ "${#programs[@]}" -gt 0 ] || { echo "no .exe in $*" >&2; exit 2; }

failed=0
for program in "${programs[@]}"; do
  name="${program#"$work"/*/}"
  if ! "$objdump" -p "$program" >"$work/headers" 2>"$work/error" ||
    ! grep -q '^Magic' "$work/headers"; then
    echo "cannot read $name as a Windows program:" >&2
    cat "$work/error" >&2
    exit 2
  fi
  mapfile -t dlls < <(sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers" | tr -d '\r' | sort -uf)
  foreign=()
  for dll in "${dlls[@]}"; do
    system_dll "$(tr '[:lower:]' '[:upper:]' <<<"$dll")" || foreign+=("$dll")
  done
  echo "$name: ${dlls[*]:-(imports nothing)}"
  if ((${#foreign[@]})); then
    echo "  NOT PART OF WINDOWS: ${foreign[*]}"
    failed=$((failed + 1))
  fi
done
if [ "$failed" -ne 0 ]; then
  echo "check-windows-imports: $failed of ${#programs[@]} programs need DLLs that Windows does not have"
  exit 1
fi
echo "check-windows-imports: ${#programs[@]} programs import only DLLs of Windows"
