#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, from Debian's
# archive only. Safe to run again: it does nothing when all is in place.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

here=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools nasm dpkg-dev
  wine wine64 fonts-wine xvfb x11-utils xauth
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libjpeg62-turbo-dev libjpeg-turbo-progs nlohmann-json3-dev libcli11-dev
  fonts-ipafont-gothic imagemagick qpdf poppler-utils
  iproute2 procps psmisc python3 jq
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# mingw must use its posix thread model (std::thread, std::mutex).
if [ -e /usr/bin/x86_64-w64-mingw32-g++-posix ]; then
  update-alternatives --set x86_64-w64-mingw32-g++ /usr/bin/x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 || true
  update-alternatives --set x86_64-w64-mingw32-gcc /usr/bin/x86_64-w64-mingw32-gcc-posix >/dev/null 2>&1 || true
fi

# libjpeg-turbo for mingw, cross-built from Debian's source package with SIMD.
"$here/scripts/build-mingw-jpeg.sh"
