#!/usr/bin/env bash
# Runs one Windows program under the test run's Wine (see wine-env.sh): its
# display, prefix and wineserver, inside the run's network namespace.
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
# Network safety: never outside the run's namespace (the program broadcasts).
if [ -z "${VX_NETNS:-}" ] || [ ! -e "/var/run/netns/$VX_NETNS" ]; then
  echo "wine-run: the run's network namespace is missing; refusing to run" >&2
  exit 1
fi
# The run's host name (wine-env.sh VX_WINE_HOSTNAME), in a UTS namespace of its own.
named=()
[ -n "${VX_HOSTNAME:-}" ] && named=(unshare --uts sh -c 'hostname "$0" && exec "$@"' "$VX_HOSTNAME")
# Wine's notice about the missing 32-bit part is noise for every test.
exec "${named[@]}" ip netns exec "$VX_NETNS" wine "$@" \
  2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' -e 'apt-get install wine32' >&2)
