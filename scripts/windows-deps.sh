#!/usr/bin/env bash
# Cross-compiles the third-party libraries of the Windows build as static libraries:
# zlib, libjpeg (libjpeg-turbo's libjpeg 6 interface), libpng and libtiff from Debian's own
# source packages (bookworm, fetched with `apt-get source`), and GoogleTest from the sources
# of Debian's googletest package in /usr/src/googletest.
#
#   scripts/windows-deps.sh [DEPS_FOLDER]     (default: build/windows/deps)
#
# Everything lands in DEPS_FOLDER/prefix. Each library leaves a stamp when installed, so a
# second run only checks the stamps and returns at once. Nothing prebuilt is used.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="${1:-$root/build/windows/deps}"
mkdir -p "$deps"
deps="$(cd "$deps" && pwd)"
prefix="$deps/prefix"
toolchain="$root/cmake/toolchain-mingw64.cmake"
jobs="${TARNWELL_JOBS:-2}"

if [ -f "$deps/complete.stamp" ]; then
  exit 0
fi

say() { echo "windows-deps: $*" >&2; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# ---- Tools -------------------------------------------------------------------------------
need=()
for p in cmake make dpkg-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
         binutils-mingw-w64-x86-64 mingw-w64-tools googletest; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  say "installing ${need[*]}"
  as_root apt-get update -qq
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${need[@]}" >/dev/null
fi

# ---- Debian source entries (same release as the machine's binary entries) ----------------
src_list=/etc/apt/sources.list.d/tarnwell-deb-src.sources
if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -qx 'Sources'; then
  say "enabling deb-src entries for bookworm in $src_list"
  as_root tee "$src_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  as_root apt-get update -qq
fi

# ---- One library -------------------------------------------------------------------------
# fetch PACKAGE: unpacks Debian's source package (with Debian's patches applied) under
# deps/src and prints the folder.
fetch() {
  local package="$1"
  mkdir -p "$deps/src"
  local existing
  existing="$(find "$deps/src" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)"
  if [ -z "$existing" ]; then
    say "fetching the Debian source package $package"
    (cd "$deps/src" && apt-get source -qq "$package" >/dev/null 2>"$deps/src/$package.log") || {
      cat "$deps/src/$package.log" >&2
      say "apt-get source $package failed"
      exit 1
    }
    existing="$(find "$deps/src" -maxdepth 1 -type d -name "$package-*" | sort | tail -n 1)"
  fi
  [ -n "$existing" ] || { say "no source folder for $package"; exit 1; }
  echo "$existing"
}

# build NAME SOURCE_DIR [cmake options...]: configures with the mingw toolchain, builds and
# installs into the prefix, then stamps NAME.
build() {
  local name="$1" source="$2"
  shift 2
  if [ -f "$deps/stamps/$name" ]; then
    return
  fi
  say "building $name"
  local work="$deps/work/$name"
  rm -rf "$work"
  mkdir -p "$work" "$deps/stamps"
  local log="$deps/work/$name.log"
  if ! { cmake -S "$source" -B "$work" -G "Unix Makefiles" \
           -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWELL_WINDOWS_DEPS="$deps" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
           -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF \
           -DCMAKE_POSITION_INDEPENDENT_CODE=ON "$@" &&
         cmake --build "$work" -j "$jobs" &&
         cmake --install "$work"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    say "building $name failed; the whole log is $log"
    exit 1
  fi
  touch "$deps/stamps/$name"
}

export TARNWELL_DEPS_BUILDING=1

zlib_src="$(fetch zlib)"
# Debian's zlib source leaves out the win32 folder that zlib's own DLL target needs, so only
# the static library is built and installed by hand, under the name find modules look for.
if [ ! -f "$deps/stamps/zlib" ]; then
  say "building zlib"
  work="$deps/work/zlib"
  rm -rf "$work"
  mkdir -p "$work" "$deps/stamps" "$prefix/lib" "$prefix/include"
  if ! { cmake -S "$zlib_src" -B "$work" -G "Unix Makefiles" \
           -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTARNWELL_WINDOWS_DEPS="$deps" \
           -DCMAKE_BUILD_TYPE=Release -DCMAKE_POSITION_INDEPENDENT_CODE=ON &&
         cmake --build "$work" -j "$jobs" --target zlibstatic; } >"$deps/work/zlib.log" 2>&1; then
    tail -n 40 "$deps/work/zlib.log" >&2
    say "building zlib failed; the whole log is $deps/work/zlib.log"
    exit 1
  fi
  cp -f "$work/libzlibstatic.a" "$prefix/lib/libz.a"
  cp -f "$work/zconf.h" "$zlib_src/zlib.h" "$prefix/include/"
  touch "$deps/stamps/zlib"
fi

jpeg_src="$(fetch libjpeg-turbo)"
build libjpeg "$jpeg_src" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF

png_src="$(fetch libpng1.6)"
build libpng "$png_src" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DZLIB_ROOT="$prefix" -DZLIB_LIBRARY="$prefix/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$prefix/include"

tiff_src="$(fetch tiff)"
build libtiff "$tiff_src" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
  -Dtiff-docs=OFF -Dtiff-deprecated=OFF -Dcxx=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF \
  -Dzstd=OFF -Dwebp=OFF -Dlibdeflate=OFF -Dpixarlog=ON -Dzlib=ON -Djpeg=ON \
  -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include" \
  -DJPEG_LIBRARY="$prefix/lib/libjpeg.a" -DJPEG_INCLUDE_DIR="$prefix/include"

build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON

# Remove any import libraries of DLLs so nothing links against a DLL the user lacks.
find "$prefix/lib" -name '*.dll.a' -delete
touch "$deps/complete.stamp"
say "done: $prefix"
