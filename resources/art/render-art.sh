#!/usr/bin/env bash
# Turns one SVG source into the file a Windows resource needs, with rsvg-convert (Debian
# package librsvg2-bin) and ImageMagick's convert (package imagemagick). Run by the build
# (resources/art/CMakeLists.txt), one call per picture:
#
#   render-art.sh icon   OUT.ico SOURCE.svg SIZE...        one frame per size, with alpha
#   render-art.sh cursor OUT.cur SOURCE.svg SIZE HOTX HOTY a cursor with its hot spot
#   render-art.sh bmp    OUT.bmp SOURCE.svg WIDTH HEIGHT   24-bit bitmap, no alpha
#   render-art.sh jpeg   OUT.jpg SOURCE.svg WIDTH HEIGHT QUALITY SAMPLING
#                                                         baseline JPEG, e.g. 88 4:4:4
#   render-art.sh sheet  OUT.png FILE...                   all pictures on one page to look at
#
# Transparent parts of bitmaps and JPEGs become the dialog colour (226, 226, 226).
# Environment: RSVG_CONVERT and MAGICK_CONVERT name the two programs (found on PATH when unset).
set -euo pipefail

rsvg="${RSVG_CONVERT:-rsvg-convert}"
magick="${MAGICK_CONVERT:-convert}"
montage="$(dirname "$(command -v "$magick")")/montage"
dialog_colour='#E2E2E2'

fail() { echo "render-art.sh: $*" >&2; exit 1; }
[ $# -ge 3 ] || fail "usage: render-art.sh icon|cursor|bmp|jpeg|sheet OUT SOURCE... (see the head of this file)"
kind="$1"; out="$2"; shift 2

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Renders $1 at $2 x $3 pixels into $4 (RGBA PNG).
render() {
  [ -f "$1" ] || fail "no source '$1'"
  "$rsvg" --width="$2" --height="$3" --format=png "$1" --output="$4" ||
    fail "rsvg-convert could not render $1"
}

# Writes the 16-bit little-endian number $3 at byte offset $2 of file $1.
put_word() {
  local low=$(( $3 & 255 )) high=$(( ($3 >> 8) & 255 ))
  printf "$(printf '\\%03o\\%03o' "$low" "$high")" |
    dd of="$1" bs=1 seek="$2" conv=notrunc status=none
  [ "$(get_word "$1" "$2")" = "$3" ] || fail "could not write $3 at byte $2 of $1"
}

# Reads the 16-bit little-endian number at byte offset $2 of file $1.
get_word() {
  od -A n -t u2 -j "$2" -N 2 --endian=little "$1" | tr -d ' '
}

case "$kind" in
  icon)
    source="$1"; shift
    [ $# -ge 1 ] || fail "icon: give at least one size"
    frames=()
    for size in "$@"; do
      render "$source" "$size" "$size" "$scratch/$size.png"
      frames+=("$scratch/$size.png")
    done
    "$magick" "${frames[@]}" "ICO:$scratch/out.ico"
    [ "$(get_word "$scratch/out.ico" 4)" = "$#" ] || fail "icon: $out lost frames"
    mv "$scratch/out.ico" "$out"
    ;;
  cursor)
    [ $# -eq 4 ] || fail "cursor: give SOURCE SIZE HOTX HOTY"
    source="$1"; size="$2"; hot_x="$3"; hot_y="$4"
    (( hot_x >= 0 && hot_x < size && hot_y >= 0 && hot_y < size )) ||
      fail "cursor: hot spot ($hot_x, $hot_y) lies outside the ${size}-pixel cursor"
    render "$source" "$size" "$size" "$scratch/cursor.png"
    "$magick" "$scratch/cursor.png" "ICO:$scratch/out.cur"
    # ImageMagick writes an icon file (type 1), which the resource compiler refuses as a
    # cursor. A cursor file is the same layout with type 2, and the single entry's two
    # words that an icon uses for planes and bit count hold the hot spot instead.
    put_word "$scratch/out.cur" 2 2
    put_word "$scratch/out.cur" 10 "$hot_x"
    put_word "$scratch/out.cur" 12 "$hot_y"
    mv "$scratch/out.cur" "$out"
    ;;
  bmp)
    [ $# -eq 3 ] || fail "bmp: give SOURCE WIDTH HEIGHT"
    render "$1" "$2" "$3" "$scratch/in.png"
    # BMP3 is the plain BITMAPINFOHEADER layout that every Windows loader reads; TrueColor
    # keeps it at 24 bits even when the picture has few colours.
    "$magick" "$scratch/in.png" -background "$dialog_colour" -alpha remove -alpha off \
      -type TrueColor "BMP3:$scratch/out.bmp"
    [ "$(get_word "$scratch/out.bmp" 28)" = 24 ] || fail "bmp: $out is not 24 bits a pixel"
    mv "$scratch/out.bmp" "$out"
    ;;
  jpeg)
    [ $# -eq 5 ] || fail "jpeg: give SOURCE WIDTH HEIGHT QUALITY SAMPLING"
    render "$1" "$2" "$3" "$scratch/in.png"
    "$magick" "$scratch/in.png" -background "$dialog_colour" -alpha remove -alpha off \
      -type TrueColor -strip -interlace none -quality "$4" -sampling-factor "$5" \
      "JPEG:$scratch/out.jpg"
    mv "$scratch/out.jpg" "$out"
    ;;
  sheet)
    # One row per kind of picture, each file labelled with its name (which starts with its
    # resource id); icons show every frame, small pictures are also shown enlarged.
    [ -x "$montage" ] || fail "sheet: no montage beside $magick"
    rows=()
    # row NAME COLUMNS TILE FILE...: TILE is montage's tile size, empty for the largest picture.
    row() {
      local name="$1" columns="$2" tile="$3"; shift 3
      [ $# -gt 0 ] || return 0
      "$montage" -background "$dialog_colour" -fill '#1E3A56' -font Liberation-Sans \
        -pointsize 11 -label '%t' "$@" -tile "${columns}x" -geometry "${tile}+8+6" "$scratch/$name.png"
      rows+=("$scratch/$name.png")
    }
    icons=(); cursors=(); small=(); bitmaps=(); pictures=(); large=(); icon_rows=()
    for f in "$@"; do
      [ -f "$f" ] || fail "sheet: no file '$f' (build the artwork first)"
      case "$f" in
        *.ico) icons+=("$f") ;;
        *.cur) cursors+=("$f") ;;
        *_dot_*) small+=("$f") ;;
        *_info*|*_about*) large+=("$f") ;;
        *.bmp) bitmaps+=("$f") ;;
        *) pictures+=("$f") ;;
      esac
    done
    for f in "${icons[@]}"; do
      name="$(basename "${f%.*}")"
      # Each frame at its own size, then the 16-pixel frame four times enlarged.
      "$montage" -background "$dialog_colour" "$f" -tile x1 -geometry '+3+3' -gravity south "$scratch/f.png"
      "$magick" "$scratch/f.png" \( "$f[0]" -background "$dialog_colour" -flatten -filter point -resize 400% \) \
        -background "$dialog_colour" -gravity south +append "$scratch/icon_$name.png"
      icon_rows+=("$scratch/icon_$name.png")
    done
    row icons 4 "" "${icon_rows[@]}"
    enlarged=()
    for f in "${small[@]}" "${cursors[@]}"; do
      name="$(basename "${f%.*}")"
      "$magick" "$f[0]" -background '#6F8FAF' -flatten -filter point -resize 400% "$scratch/$name.png"
      enlarged+=("$scratch/$name.png")
    done
    row small 7 "" "${enlarged[@]}"
    row bitmaps 8 '140x100>' "${bitmaps[@]}"
    row pictures 8 "" "${pictures[@]}"
    for f in "${large[@]}"; do row "$(basename "${f%.*}")" 1 "" "$f"; done
    "$magick" -background '#FFFFFF' "${rows[@]}" -gravity west -append -depth 8 "$out"
    ;;
  *) fail "unknown kind '$kind' (icon, cursor, bmp, jpeg or sheet)" ;;
esac
