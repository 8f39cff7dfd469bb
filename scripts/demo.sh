#!/usr/bin/env bash
# The demo: builds everything, brings the lab up (network namespaces, simulated
# servers with devices, the bus driver emulator of PC 1) and starts vessix.exe
# under Wine inside PC 1, on $DISPLAY or on a private Xvfb; then saves a
# screenshot and prints its path. `bash scripts/demo.sh stop` ends it all.
# Needs root (packages, namespaces).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
demo="$root/build/demo"
lab="$root/lab/net/vx-lab.sh"
native="$root/build/native"

stop() {
  if [ -f "$demo/wine/env" ]; then
    VX_WINE_NETNS=vxpc1 "$root/tests/wine/wine-env.sh" stop "$demo" || true
  fi
  for p in "$demo"/*.pid; do
    [ -f "$p" ] && kill "$(cat "$p")" >/dev/null 2>&1 || true
    rm -f "$p"
  done
  [ -x "$lab" ] && "$lab" down --kill >/dev/null 2>&1 || true
}

if [ "${1:-}" = stop ]; then
  stop
  echo "demo: stopped"
  exit 0
fi

"$root/scripts/install-deps.sh"
echo "demo: building (native lab programs, vessix.exe)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target vx-uds vx-busd vessix-cli >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target vessix >/dev/null

stop
mkdir -p "$demo"
"$lab" up >/dev/null

# The simulated servers, and the bus driver emulator of PC 1 ("VXPC1").
ip netns exec vxsrv setsid "$native/lab/uds/vx-uds" --config "$root/lab/demo/servers.json" \
  --control "$demo/uds.sock" >"$demo/vx-uds.log" 2>&1 </dev/null &
echo $! >"$demo/vx-uds.pid"
ip netns exec vxpc1 setsid "$native/lab/busd/vx-busd" --name VXPC1 --listen 127.0.0.1:7600 \
  >"$demo/vx-busd.log" 2>&1 </dev/null &
echo $! >"$demo/vx-busd.pid"

# Wine inside PC 1, on the caller's display or a private Xvfb.
if [ -n "${DISPLAY:-}" ]; then export VX_WINE_DISPLAY=$DISPLAY; fi
VX_WINE_NETNS=vxpc1 "$root/tests/wine/wine-env.sh" start "$demo" >/dev/null
# shellcheck disable=SC1091
. "$demo/wine/env"
export DISPLAY

exe="$root/build/windows/src/app/win32/vessix.exe"
VX_BINARY_DIR="$demo" VESSIX_BUS_EMULATOR=127.0.0.1:7600 setsid "$root/tests/wine/wine-run.sh" "$exe" \
  >"$demo/vessix.log" 2>&1 </dev/null &
echo $! >"$demo/vessix.pid"

# Wait for the main window, then give discovery a few seconds to fill it.
for _ in $(seq 1 120); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Vessix' && break
  sleep 0.5
done
sleep 6
shot="$demo/vessix-demo.png"
import -window root "$shot"
echo "demo: screenshot saved to $shot"
echo "demo: vessix.exe runs in lab PC vxpc1 on display $DISPLAY (logs in $demo)"
echo "demo: list what PC 1's driver knows: ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 $native/src/cli/vessix-cli servers"
echo "demo: stop everything with: bash scripts/demo.sh stop"
