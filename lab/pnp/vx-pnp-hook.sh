#!/usr/bin/env bash
# vx-busd's claim hook (vx-busd --on-claim): plays a device's arrival in this
# PC's Wine prefix. It renders the registry keys Windows would create for the
# claimed device (vx-pnp, from the device report in VX_CLAIM_DEVICE) and
# imports them with the prefix's regedit, through the wineserver that already
# runs for the prefix; then checks that the device node is there. Nothing is
# ever removed (Windows keeps the keys of a device that left, too).
#
#   vx-busd ... --on-claim "lab/pnp/vx-pnp-hook.sh --wine-env BUILD/wine/env --pnp build/native/lab/pnp/vx-pnp"
#
#   --wine-env FILE   the environment file tests/wine/wine-env.sh wrote for
#                     the PC (DISPLAY, WINEPREFIX, HOME, VX_NETNS)
#   --pnp PATH        the vx-pnp program
#   --templates DIR   the templates (default: templates/ beside this script)
# Exit 0 when the keys are in the prefix; 1 otherwise, the reason on stderr.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_env='' pnp='' templates=$here/templates
while [ $# -gt 0 ]; do
  case $1 in
    --wine-env) wine_env=${2:?}; shift 2 ;;
    --pnp) pnp=${2:?}; shift 2 ;;
    --templates) templates=${2:?}; shift 2 ;;
    *) echo "vx-pnp-hook: unknown argument $1" >&2; exit 2 ;;
  esac
done
if [ -z "$wine_env" ] || [ -z "$pnp" ]; then echo "vx-pnp-hook: --wine-env FILE --pnp PATH are needed" >&2; exit 2; fi
: "${VX_CLAIM_DEVICE:?vx-pnp-hook is the claim hook of vx-busd: VX_CLAIM_DEVICE is not set}"
[ -f "$wine_env" ] || { echo "vx-pnp-hook: no Wine environment yet ($wine_env)" >&2; exit 1; }
# shellcheck disable=SC1090
. "$wine_env"
export DISPLAY WINEPREFIX HOME WINEDEBUG=-all
# The hook runs where vx-busd runs: inside the PC's namespace, as the Wine
# processes of that PC do.
here_ns=$(ip netns identify $$ 2>/dev/null || true)
if [ -n "${VX_NETNS:-}" ] && [ "$here_ns" != "$VX_NETNS" ]; then
  echo "vx-pnp-hook: runs in namespace '${here_ns}', the prefix's Wine runs in '$VX_NETNS': refused" >&2
  exit 1
fi

reg=$(mktemp /tmp/vx-pnp.XXXXXX.reg)
trap 'rm -f "$reg"' EXIT
"$pnp" render --templates "$templates" --device "$VX_CLAIM_DEVICE" --out "$reg"
quiet() { "$@" 2> >(grep -v -e 'wine32 is missing' -e 'multiarch needs' -e 'dpkg --add-architecture' \
  -e 'apt-get install wine32' >&2); }
quiet wine regedit /S "$(winepath -w "$reg" 2>/dev/null)"
# The device node is the first key of every template.
node=$(grep -m1 '^\[' "$reg" | sed 's/^\[\(.*\)\]\r\{0,1\}$/\1/')
if ! quiet wine reg query "$node" >/dev/null; then
  echo "vx-pnp-hook: $node is not in $WINEPREFIX after the import" >&2
  exit 1
fi
echo "vx-pnp-hook: ${VX_CLAIM_PROFILE:-?} keys of ${VX_CLAIM_VID:-?}/${VX_CLAIM_PID:-?} ${VX_CLAIM_SERIAL:-} in $WINEPREFIX"
