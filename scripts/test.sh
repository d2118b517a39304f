#!/usr/bin/env bash
# Installs what is missing, builds everything and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
# Independent readers that check the files we write (PSD, HTML 4.01, JPEG markers), and GIMP
# with an X server and xdotool for the GIMP plug-in's tests; the tests that use them are
# skipped with a message where they are missing.
TARNWELL_EXTRA_PACKAGES=(python3-psd-tools imagemagick opensp w3c-sgml-lib tidy
                         libjpeg-turbo-progs jpeginfo libimage-exiftool-perl
                         gimp xvfb xdotool)
source scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
# ag-psd, a second PSD reader, comes from npm into the build folder (never committed).
if command -v npm >/dev/null && [ ! -d build/linux/npm/node_modules/ag-psd ]; then
  npm install --silent --no-audit --no-fund --prefix build/linux/npm ag-psd >/dev/null 2>&1 ||
    echo "ag-psd could not be installed; its test will be skipped" >&2
fi
ctest --preset linux -j "$(nproc)"
