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
export DISPLAY WINEPREFIX HOME WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's notice about the missing 32-bit part is noise for every test.
exec wine "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
