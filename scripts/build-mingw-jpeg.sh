#!/usr/bin/env bash
# Cross-builds libjpeg-turbo for x86_64 mingw-w64 from Debian's source package
# (pinned version), keeping its SIMD code (nasm). Installs into
# /opt/vessix/mingw-jpeg. Does nothing when that build is already there.
set -euo pipefail
version="1:2.1.5-2"
upstream="2.1.5"
prefix=/opt/vessix/mingw-jpeg
stamp="$prefix/.built-$upstream"
[ -f "$stamp" ] && exit 0

# Debian's source index is needed for `apt-get source`.
if ! grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  cat > /etc/apt/sources.list.d/vessix-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -qq
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source -qq --download-only "libjpeg-turbo=$version" >/dev/null 2>&1 || apt-get source -qq --download-only libjpeg-turbo >/dev/null
tar xf libjpeg-turbo_"$upstream".orig.tar.gz
src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo*' | head -n1)
cat > tc.cmake <<'TC'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
TC
cmake -S "$src" -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/tc.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
  -DREQUIRE_SIMD=ON >/dev/null
cmake --build build --target jpeg-static >/dev/null
mkdir -p "$prefix/lib" "$prefix/include"
cp build/libjpeg.a "$prefix/lib/"
cp build/jconfig.h "$src"/jpeglib.h "$src"/jmorecfg.h "$src"/jerror.h "$prefix/include/"
touch "$stamp"
echo "build-mingw-jpeg: libjpeg-turbo $upstream for mingw in $prefix"
