#!/usr/bin/env bash
# Runs one Windows program under the test run's Wine (see wine-env.sh).
# The build folder comes from VX_BINARY_DIR, or is found above the program.
set -euo pipefail
build=${VX_BINARY_DIR:-}
if [ -z "$build" ]; then
  d=$(cd "$(dirname "$1")" && pwd)
  while [ "$d" != / ] && [ ! -f "$d/CMakeCache.txt" ]; do d=$(dirname "$d"); done
  build=$d
fi
env_file="$build/wine/env"
if [ ! -f "$env_file" ]; then
  echo "wine-run: no Wine environment; run tests/wine/wine-env.sh start $build first" >&2
  exit 1
fi
# shellcheck disable=SC1090
. "$env_file"
export VX_WINE_NETWORK=${VX_WINE_NETWORK:-isolated}
export DISPLAY WINEPREFIX HOME WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# Network safety: the program under test broadcasts on every adapter, so a
# Windows program runs in a network namespace of its own with only loopback,
# unless the caller already put it into a lab namespace (VX_WINE_NETWORK=inherit).
if [ "${VX_WINE_NETWORK:-isolated}" != inherit ]; then
  if ! unshare -n true 2>/dev/null; then
    echo "wine-run: cannot make a private network namespace (needs root); refusing to run" >&2
    exit 1
  fi
  exec unshare -n env VX_WINE_NETWORK=inherit sh -c 'ip link set lo up && exec "$0" "$@"' "$0" "$@"
fi
# Wine's notice about the missing 32-bit part is noise for every test.
exec wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
