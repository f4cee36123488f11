#!/usr/bin/env bash
# Runs a command with one Wine server held for the whole of it, for the Wine prefix of a
# configured Windows build folder, and stops that server when the command ends, however it ends:
#   scripts/with-wine-server.sh BUILD_DIR COMMAND [ARGUMENT...]
# Inside a command that already holds the server of the same folder it only runs the command.
# Exits with the command's exit code.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BUILD_DIR COMMAND [ARGUMENT...]" >&2; exit 2; }
build="$(realpath -m "$1")"
shift
holder="$build/wine-server.sh"
[ -x "$holder" ] || { echo "missing $holder: configure the Windows build first" >&2; exit 2; }
if [ "${LEAFWARD_WINE_SERVER_HELD:-}" = "$build" ]; then
  exec "$@"
fi
# Set first: a start that fails half-way (the server up, the prefix not) still stops it.
trap '"$holder" stop' EXIT
"$holder" start
export LEAFWARD_WINE_SERVER_HELD="$build"
"$@"
