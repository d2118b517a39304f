#!/usr/bin/env bash
# The GIMP plug-in in real, headless GIMP (gimp-console through Script-Fu), compared with
# `tarnwell apply` on the same picture and settings. One case per run:
#
#   gimp_headless_test.sh CASE BIN_DIR PLUGIN_DIR SOURCE_DIR
#
# CASE: rgb8 | precisions | selection | alpha | last-values | settings-file | bad-values.
# PLUGIN_DIR empty: use the plug-in GIMP finds in its own folders (the installed package).
# Prints "PASS: gimp-CASE" or "FAIL: gimp-CASE ..." and exits 0 or 1.
#
# Tolerances: 8-bit results are identical to the command line's. 16-bit results may differ
# by one step of 65535: the host works in 0..32768, and where the plug-in leaves a sample
# alone GIMP keeps the layer's own value while the command line writes the host's value
# back. Float results are identical; half-float layers keep the plug-in's float result to
# half precision (within 0.001).
CASE="$1"
TEST_NAME="gimp-$CASE"
BIN_DIR="$2"
PLUGIN_DIR="$3"
SOURCE_DIR="$4"
source "$(dirname "$0")/gimp_test_lib.sh"

LAKE="$SOURCE_DIR/examples/lake.png"
# The values the comparisons use, for GIMP and for the command line alike.
VALUES='40 10 15 2 1 77 0.3 0.6 1 2 2'
SETS=(--set Horizon=40 --set Offset=10 --set Spin=15 --set Style=complex --set Glue=1 --set Seed=77
      --set Center=0.3,0.6 --set Light=1,2,2)
W="$WORK"

# A small copy of the lake picture, so a render takes a fraction of a second.
PREPARE="(define img (tw-load \"$LAKE\"))
(gimp-image-scale img 160 107)
(tw-save-png img \"$W/in8.png\")
(gimp-image-delete img)"

case "$CASE" in
rgb8)
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define img (tw-load \"$W/in8.png\"))
    (tw-apply img RUN-NONINTERACTIVE $VALUES \"\")
    (tw-save-png img \"$W/out.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  "$TARNWELL" apply "$W/in8.png" "$W/ref.png" -q "${SETS[@]}" || fail "tarnwell apply failed"
  check_pictures "GIMP against tarnwell apply" same "$W/out.png" "$W/ref.png"
  check_pictures "water was drawn" differ "$W/in8.png" "$W/out.png" --rect 0,60,160,47
  ;;

precisions)
  # 16-bit and float images as GIMP keeps them (perceptual), against the command line on
  # the very files GIMP exported; then the linear encodings, which the command line's
  # files cannot express, must still render and leave the sky alone.
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define (run precision input output save)
      (let ((img (tw-load \"$W/in8.png\")))
        (gimp-image-convert-precision img precision)
        (save img input)
        (tw-apply img RUN-NONINTERACTIVE $VALUES \"\")
        (save img output)
        (gimp-image-delete img)))
    (run PRECISION-U16-GAMMA \"$W/in16.png\" \"$W/out16.png\" tw-save-png)
    (run PRECISION-FLOAT-GAMMA \"$W/in32.tif\" \"$W/out32.tif\" tw-save-tiff)
    (run PRECISION-U8-LINEAR \"$W/in8l.tif\" \"$W/out8l.tif\" tw-save-tiff)
    (run PRECISION-FLOAT-LINEAR \"$W/in32l.tif\" \"$W/out32l.tif\" tw-save-tiff)
    (define (tw-save-float-copy image path)  ; half-float TIFF is read by neither checker
      (let ((copy (car (gimp-image-duplicate image))))
        (gimp-image-convert-precision copy PRECISION-FLOAT-GAMMA)
        (tw-save-tiff copy path)
        (gimp-image-delete copy)))
    (run PRECISION-HALF-GAMMA \"$W/in16h.tif\" \"$W/out16h.tif\" tw-save-float-copy)
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  "$TARNWELL" apply "$W/in16.png" "$W/ref16.png" -q "${SETS[@]}" || fail "tarnwell apply (16-bit) failed"
  "$TARNWELL" apply "$W/in32.tif" "$W/ref32.tif" -q "${SETS[@]}" || fail "tarnwell apply (float) failed"
  check_pictures "16-bit against tarnwell apply" same "$W/out16.png" "$W/ref16.png" --tolerance 0.0000153
  check_pictures "float against tarnwell apply" same "$W/out32.tif" "$W/ref32.tif"
  for kind in 8l 32l 16h; do
    "$TARNWELL" apply "$W/in$kind.tif" "$W/ref$kind.tif" -q "${SETS[@]}" || fail "tarnwell apply ($kind) failed"
  done
  check_pictures "8-bit linear against tarnwell apply" same "$W/out8l.tif" "$W/ref8l.tif"
  check_pictures "float linear against tarnwell apply" same "$W/out32l.tif" "$W/ref32l.tif"
  # The plug-in renders half-float layers in float; its result is rounded to half precision
  # (11 bits) when it goes back into the layer.
  check_pictures "half float against tarnwell apply" same "$W/out16h.tif" "$W/ref16h.tif" --tolerance 0.001
  for kind in 16 32 8l 32l 16h; do
    ext=tif
    [ $kind = 16 ] && ext=png
    check_pictures "$kind: water was drawn" differ "$W/in$kind.$ext" "$W/out$kind.$ext" --rect 0,60,160,47
  done
  ;;

selection)
  # A plain rectangle changes exactly what the full render changes inside it and nothing
  # outside; a feathered one fades between the picture and the full render.
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define img (tw-load \"$W/in8.png\"))
    (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 40 50 80 40)
    (tw-apply img RUN-NONINTERACTIVE $VALUES \"\")
    (tw-save-png img \"$W/rect.png\")
    (define img2 (tw-load \"$W/in8.png\"))
    (gimp-image-select-rectangle img2 CHANNEL-OP-REPLACE 30 40 100 50)
    (gimp-selection-feather img2 30)
    (tw-apply img2 RUN-NONINTERACTIVE $VALUES \"\")
    (tw-save-png img2 \"$W/feather.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  "$TARNWELL" apply "$W/in8.png" "$W/ref.png" -q "${SETS[@]}" || fail "tarnwell apply failed"
  check_pictures "inside the selection as the full render" same "$W/rect.png" "$W/ref.png" --rect 40,50,80,40
  for outside in 0,0,160,50 0,90,160,17 0,50,40,40 120,50,40,40; do
    check_pictures "outside ($outside) unchanged" same "$W/rect.png" "$W/in8.png" --rect $outside
  done
  check_pictures "the selection changed something" differ "$W/rect.png" "$W/in8.png" --rect 40,60,80,30
  check_pictures "feathered: between picture and render" between "$W/in8.png" "$W/feather.png" "$W/ref.png" \
    --tolerance 0.0040
  ;;

alpha)
  # Transparency the plug-in must respect: a clear hole and a soft one.
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define img (tw-load \"$W/in8.png\"))
    (gimp-layer-add-alpha (tw-layer img))
    (gimp-image-select-rectangle img CHANNEL-OP-REPLACE 10 70 30 20)
    (gimp-drawable-edit-clear (tw-layer img))
    (gimp-image-select-ellipse img CHANNEL-OP-REPLACE 90 55 50 40)
    (gimp-selection-feather img 20)
    (gimp-drawable-edit-clear (tw-layer img))
    (gimp-selection-none img)
    (tw-save-png img \"$W/inA.png\")
    (define img2 (tw-load \"$W/inA.png\"))
    (tw-apply img2 RUN-NONINTERACTIVE $VALUES \"\")
    (tw-save-png img2 \"$W/outA.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  "$TARNWELL" apply "$W/inA.png" "$W/refA.png" -q "${SETS[@]}" || fail "tarnwell apply failed"
  check_pictures "with alpha against tarnwell apply" same "$W/outA.png" "$W/refA.png"
  check_pictures "water was drawn" differ "$W/inA.png" "$W/outA.png" --rect 0,60,160,47
  ;;

last-values)
  # Filters > Repeat gives exactly the last run's look; after a run from the command line
  # (which rewrites the plug-in's cached settings) it follows that run instead, as the
  # command line's --last does.
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define img (tw-load \"$W/in8.png\"))
    (tw-apply img RUN-NONINTERACTIVE $VALUES \"\")
    (tw-save-png img \"$W/first.png\")
    (define img2 (tw-load \"$W/in8.png\"))
    (tw-plain img2 RUN-WITH-LAST-VALS)
    (tw-save-png img2 \"$W/again.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  check_pictures "RUN-WITH-LAST-VALS repeats the last run" same "$W/again.png" "$W/first.png"
  # A new GIMP session repeats it too: the values live in the plug-in's cached settings.
  gimp_batch "$W/log1" "$SCHEME_LIB
    (define img (tw-load \"$W/in8.png\"))
    (tw-plain img RUN-WITH-LAST-VALS)
    (tw-save-png img \"$W/next-session.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log1" || fail "the next session's script did not finish"
  check_pictures "Repeat in the next GIMP session" same "$W/next-session.png" "$W/first.png"
  "$TARNWELL" apply "$W/in8.png" "$W/plain.png" -q || fail "tarnwell apply failed"
  check_pictures "the last values are not the plain ones" differ "$W/again.png" "$W/plain.png"
  "$TARNWELL" apply "$W/in8.png" "$W/cli.png" -q --set Horizon=70 --set Style=simple || fail "tarnwell apply failed"
  gimp_batch "$W/log2" "$SCHEME_LIB
    (define img (tw-load \"$W/in8.png\"))
    (tw-plain img RUN-WITH-LAST-VALS)
    (tw-save-png img \"$W/after-cli.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log2" || fail "the second script did not finish"
  "$TARNWELL" apply "$W/in8.png" "$W/last.png" -q --last || fail "tarnwell apply --last failed"
  check_pictures "after a command-line run, Repeat follows it" same "$W/after-cli.png" "$W/last.png"
  check_pictures "... which is not GIMP's earlier look" differ "$W/after-cli.png" "$W/first.png"
  ;;

settings-file)
  # The file's values are used instead of the others, which are not even looked at (the
  # light given here, all zero, would be refused on its own).
  "$TARNWELL" settings save "$W/look.q8r" --set horizon=35 --set style=simple --set glue=7 \
    --set color=#aa3355 --set waviness=90 >/dev/null || fail "tarnwell settings save failed"
  gimp_batch "$W/log" "$SCHEME_LIB $PREPARE
    (define img (tw-load \"$W/in8.png\"))
    (tw-apply img RUN-NONINTERACTIVE 40 10 15 2 1 77 0.3 0.6 0 0 0 \"$W/look.q8r\")
    (tw-save-png img \"$W/out.png\")
    (gimp-message \"CASE-DONE\")" && grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  "$TARNWELL" apply "$W/in8.png" "$W/ref.png" -q --settings "$W/look.q8r" || fail "tarnwell apply failed"
  check_pictures "the settings file's look" same "$W/out.png" "$W/ref.png"
  ;;

bad-values)
  # Each bad call fails with a message naming the parameter and its range, and changes
  # nothing; the picture saved after them all is the one loaded.
  printf 'no' > "$W/bad.q8r"  # shorter than a version word
  # Script-Fu forgets definitions between -b arguments; GIMP keeps the image.
  FIRST="$SCHEME_LIB (define img (vector-ref (cadr (gimp-image-list)) 0))"
  ALLOW_EXECUTION_ERROR=1 gimp_batch "$W/log" "$SCHEME_LIB $PREPARE (tw-load \"$W/in8.png\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 150 0 0 2 1 1841 0.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 -91 2 1 1841 0.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 3 1 1841 0.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 70 1841 0.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 1 5000 0.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 1 1841 1.5 0.2 1 1 1 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 1 1841 0.5 0.2 0 0 0 \"\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 1 1841 0.5 0.2 1 1 1 \"$W/missing.q8r\")" \
    "$FIRST (tw-apply img RUN-NONINTERACTIVE 50 0 0 2 1 1841 0.5 0.2 1 1 1 \"$W/bad.q8r\")" \
    "$FIRST (tw-save-png img \"$W/out.png\") (gimp-message \"CASE-DONE\")"
  grep -q CASE-DONE "$W/log" || fail "the script did not finish: $(tail -3 "$W/log")"
  # The command line's words for the same values (tarnwell apply --set ...), but for the
  # glue, which a script gives by number.
  for message in "Horizon must be a number from 0 to 100, not \"150\"" \
                 "Spin must be a number from -90 to 90, not \"-91\"" \
                 "Style must be simple (1) or complex (2), not \"3\"" \
                 "Glue must be a mode number from 1 to 69 (the procedure's help names them), not \"70\"" \
                 "Seed must be a whole number from 0 to 2047, not \"5000\"" \
                 "Center must be x,y with each a fraction of the picture from 0 to 1 (kept in steps of 1/65536), not \"1.5,0.2\"" \
                 "Light must be a direction x,y,z of three numbers, not all zero (kept in hundredths), not \"0,0,0\"" \
                 "cannot read the settings file \"$W/missing.q8r\"" \
                 "\"$W/bad.q8r\" is not a settings file"; do
    grep -qF "Tarnwell 2: $message" "$W/log" || fail "no message \"$message\" in GIMP's log"
  done
  errors=$(grep -c "execution error" "$W/log")
  [ "$errors" -eq 9 ] || fail "expected 9 refused calls, GIMP reported $errors execution errors"
  check_pictures "the picture is unchanged" same "$W/out.png" "$W/in8.png"
  [ -e "${TARNWELL_TEMP}Tarnwell cached settings D" ] && fail "a refused call left cached settings"
  ;;

*)
  echo "unknown case $CASE" >&2
  exit 2
  ;;
esac
[ "$FAILED" -ne 0 ] && { echo "--- GIMP's log:"; tail -40 "$W/log"; }
finish
