#!/usr/bin/env bash
# Draws an SVG picture at each given size with rsvg-convert and packs the drawings into one
# Windows icon file of PNG images (as Windows Vista and later read them). The artwork stays the
# one SVG that the Qt window draws too.
#   svg-to-ico.sh RSVG_CONVERT IN.svg OUT.ico SIZE...
set -euo pipefail
rsvg="$1" svg="$2" out="$3"
shift 3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16)); }

offset=$((6 + 16 * $#))
{
  le16 0  # reserved
  le16 1  # an icon
  le16 $#
  for size in "$@"; do
    "$rsvg" --width "$size" --height "$size" --output "$work/$size.png" "$svg"
    bytes=$(wc -c <"$work/$size.png")
    byte $((size >= 256 ? 0 : size))  # width and height; 0 stands for 256
    byte $((size >= 256 ? 0 : size))
    le16 0   # no palette, reserved
    le16 1   # planes
    le16 32  # bits per pixel
    le32 "$bytes"
    le32 "$offset"
    offset=$((offset + bytes))
  done
  for size in "$@"; do cat "$work/$size.png"; done
} >"$out.part"
mv "$out.part" "$out"
