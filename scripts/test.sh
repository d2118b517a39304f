#!/usr/bin/env bash
# Installs what is missing, builds everything and runs all tests.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)"
ctest --preset linux -j "$(nproc)"
