# Shared by the GIMP tests: a private GIMP home that loads the plug-in from the build tree
# (or from GIMP's own folders when PLUGIN_DIR is empty, for the installed package), and a
# runner that puts GIMP under `timeout` and reads its log, because gimp-console exits 0
# whatever happens.
#
# The sourcing script sets: TEST_NAME, BIN_DIR (tarnwell, tw_picture_check), PLUGIN_DIR
# (the folder holding tarnwell/tarnwell, or empty), SOURCE_DIR.

set -uo pipefail

if ! command -v gimp-console-2.10 >/dev/null; then
  echo "SKIPPED: $TEST_NAME: gimp-console-2.10 is not installed (scripts/test.sh installs gimp)"
  exit 77
fi

# Absolute paths: GIMP's own working folder is not ours.
[ -n "${PLUGIN_DIR:-}" ] && PLUGIN_DIR=$(cd "$PLUGIN_DIR" && pwd)
BIN_DIR=$(cd "$BIN_DIR" && pwd)
SOURCE_DIR=$(cd "$SOURCE_DIR" && pwd)
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tarnwell-gimp-${TEST_NAME}-XXXXXX")
trap 'rm -rf "$WORK"' EXIT
# The plug-in's cached settings and scratch files stay inside this test.
export TARNWELL_TEMP="$WORK/scratch/"
mkdir -p "$TARNWELL_TEMP"

# A GIMP home that has met every plug-in once: a first start in a fresh home asks each of
# GIMP's hundred plug-ins what it offers, which takes longer than a whole test. Made once
# (under a lock, as tests run side by side) and copied for each test.
make_gimp_home() {
  local home="$1"
  mkdir -p "$home/.config/GIMP/2.10"
  for folder in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes; do
    mkdir -p "$home/.config/GIMP/2.10/$folder"
  done
  if [ -n "${PLUGIN_DIR:-}" ]; then
    echo "(plug-in-path \"\${gimp_dir}/plug-ins:\${gimp_plug_in_dir}/plug-ins:$PLUGIN_DIR\")" \
      > "$home/.config/GIMP/2.10/gimprc"
  fi
}
HOMES="${GIMP_TEST_HOMES:-${TMPDIR:-/tmp}/tarnwell-gimp-test-homes}"
mkdir -p "$HOMES"
TEMPLATE="$HOMES/$(printf '%s' "${PLUGIN_DIR:-installed}" | md5sum | cut -c1-12)"
(
  flock 9
  if [ ! -f "$TEMPLATE/ready" ]; then
    rm -rf "$TEMPLATE"
    make_gimp_home "$TEMPLATE"
    HOME="$TEMPLATE" timeout 600 gimp-console-2.10 -i -d -f -b '(gimp-quit 0)' > /dev/null 2>&1
    touch "$TEMPLATE/ready"
  fi
) 9> "$HOMES/lock"
export HOME="$WORK/home"
mkdir -p "$HOME"
cp -a "$TEMPLATE/.config" "$HOME/"
TARNWELL="${TARNWELL:-$BIN_DIR/tarnwell}"
CHECK="$BIN_DIR/tw_picture_check"
GIMP_TIMEOUT="${GIMP_TIMEOUT:-240}"
FAILED=0

fail() {
  echo "FAIL: $TEST_NAME: $*"
  FAILED=1
}

# gimp_batch LOG EXPRESSION...: runs each expression as its own -b argument, then quits.
# Fails the test when GIMP times out, a plug-in crashed or a script failed (unless the
# caller allows it by setting ALLOW_EXECUTION_ERROR=1).
gimp_batch() {
  local log="$1"
  shift
  local args=()
  for expression in "$@"; do args+=(-b "$expression"); done
  timeout "$GIMP_TIMEOUT" gimp-console-2.10 -i -d -f "${args[@]}" -b '(gimp-quit 0)' > "$log" 2>&1
  local status=$?
  if [ $status -eq 124 ]; then
    fail "GIMP did not finish within ${GIMP_TIMEOUT}s (log: $(tail -5 "$log"))"
    return 1
  fi
  if grep -q "Plug-in crashed" "$log"; then
    fail "a plug-in crashed: $(grep -m1 -A2 'Plug-in crashed' "$log")"
    return 1
  fi
  if [ "${ALLOW_EXECUTION_ERROR:-0}" != 1 ] && grep -q "execution error" "$log"; then
    fail "a script failed: $(grep -m1 -A3 'execution error' "$log")"
    return 1
  fi
  return 0
}

# check_pictures DESCRIPTION tw_picture_check-arguments...
check_pictures() {
  local what="$1"
  shift
  local out
  out=$("$CHECK" "$@" 2>&1) || fail "$what: $out"
  echo "  $what: $out"
}

# Script-Fu helpers every test loads first.
SCHEME_LIB='
(define (tw-load path) (car (gimp-file-load RUN-NONINTERACTIVE path path)))
(define (tw-layer image) (car (gimp-image-get-active-drawable image)))
(define (tw-save-png image path)
  (file-png-save2 RUN-NONINTERACTIVE image (tw-layer image) path path 0 9 0 0 0 0 0 0 1))
(define (tw-save-tiff image path)
  (file-tiff-save RUN-NONINTERACTIVE image (tw-layer image) path path 0))
(define tw-plain-color (list 46 62 90))
(define tw-plain-glitter (list 194 191 180))
(define (tw-apply image mode horizon offset spin style glue seed cx cy lx ly lz file)
  (plug-in-tarnwell mode image (tw-layer image)
                    horizon offset spin 48 40 65 84 40 0 88 20 40
                    style glue tw-plain-color tw-plain-glitter seed cx cy lx ly lz file))
(define (tw-plain image mode)
  (tw-apply image mode 50 0 0 2 1 1841 0.5 0.2 -0.408248 -0.408248 0.816497 ""))
'

# finish: prints the marker and returns the status for ctest.
finish() {
  if [ "$FAILED" -eq 0 ]; then
    echo "PASS: $TEST_NAME"
    exit 0
  fi
  echo "FAIL: $TEST_NAME"
  exit 1
}
