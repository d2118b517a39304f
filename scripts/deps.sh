#!/usr/bin/env bash
# Installs the Debian packages the Linux build and its tests need, when they are missing.
# Sourced by example.sh and test.sh.
set -euo pipefail

# libgimp2.0-dev: the GIMP plug-in (Filters > Light and Shadow > Tarnwell 2) builds with it;
# dpkg-dev: `cpack -G DEB` finds the package's dependencies with its dpkg-shlibdeps.
tarnwell_packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                   libpng-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev libgimp2.0-dev dpkg-dev)

missing=()
for p in "${tarnwell_packages[@]}" ${TARNWELL_EXTRA_PACKAGES[@]+"${TARNWELL_EXTRA_PACKAGES[@]}"}; do
  [ -n "$p" ] || continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}" >/dev/null
fi
