#!/usr/bin/env bash
# Installs what is missing, builds, and renders the example picture with the plug-in.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target tarnwell tarnwell_plugin
mkdir -p out
build/linux/bin/tarnwell apply examples/lake.png out/lake-water.png "$@"
echo "Wrote out/lake-water.png"
