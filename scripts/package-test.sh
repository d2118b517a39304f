#!/usr/bin/env bash
# Builds the Debian package and checks it the way a user meets it: installs it (dpkg -i,
# then apt-get -f install for what it depends on), runs `tarnwell apply` from PATH and the
# GIMP tests against the plug-in GIMP now finds in its own folder, and purges the package.
# Run after scripts/test.sh (it uses build/linux). Needs root or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
TARNWELL_EXTRA_PACKAGES=(gimp)
source scripts/deps.sh
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

if dpkg-query -W -f='${Status}' tarnwell 2>/dev/null | grep -q 'install ok installed'; then
  echo "package-test: a tarnwell package is installed already; remove it first (apt-get remove tarnwell)" >&2
  exit 2
fi
cmake --build --preset linux -j "$(nproc)" >/dev/null
rm -f build/linux/tarnwell_*.deb
(cd build/linux && cpack -G DEB >/dev/null)
deb=$(ls build/linux/tarnwell_*.deb)
echo "package: $deb ($(du -k "$deb" | cut -f1) KB)"
dpkg-deb -f "$deb" Depends

remove() { $sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq tarnwell >/dev/null || true; }
trap remove EXIT
$sudo_cmd dpkg -i "$deb" >/dev/null 2>&1 || true
$sudo_cmd env DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq >/dev/null
dpkg-query -W -f='${Status}\n' tarnwell | grep -q 'install ok installed' || { echo "FAIL: the package did not install"; exit 1; }

status=0
work=$(mktemp -d)
trap 'remove; rm -rf "$work"' EXIT
found=$(command -v tarnwell || true)
[ "$found" = /usr/bin/tarnwell ] || { echo "FAIL: tarnwell on PATH is '$found', not the package's"; status=1; }
if TARNWELL_TEMP="$work/" tarnwell apply examples/lake.png "$work/lake.png" -q --set style=simple &&
   build/linux/bin/tw_picture_check differ examples/lake.png "$work/lake.png" >/dev/null; then
  echo "PASS: tarnwell apply from PATH"
else
  echo "FAIL: tarnwell apply from PATH"
  status=1
fi
# The GIMP tests with no plug-in folder of ours: GIMP must find the installed plug-in itself.
for case in rgb8 last-values bad-values; do
  TARNWELL=/usr/bin/tarnwell tests/gimp/gimp_headless_test.sh "$case" build/linux/bin "" . | tail -1 |
    sed 's/gimp-/installed gimp-/' | tee "$work/result"
  grep -q '^PASS' "$work/result" || status=1
done
exit $status
