#!/usr/bin/env bash
# The demo: builds everything, brings the lab up (network namespaces, simulated
# servers with devices, the bus driver emulator of PC 1) and starts vessix.exe
# under Wine inside PC 1, on $DISPLAY or on a private Xvfb; waits (through the
# automation helper vx-auto) until the main window's tree lists the servers,
# then saves a screenshot and prints its path. `bash scripts/demo.sh stop`
# ends it all. Needs root (packages, namespaces).
#
# The lab (lab/demo/): on PC 1's subnet 10.77.0.0/24 "Office-1F" (a printer, a
# scanner) and "Office-2F" (a multifunction device held by PC "VXPC2", a USB
# stick); "Lab-Annex" on 10.88.0.21, another subnet of the same segment, a
# model whose address can be changed; "Branch-Osaka" at 10.99.0.21 behind the
# router, a remote server that PC 1's driver knows by address.
#   VX_DEMO_TREE_TIMEOUT  milliseconds to wait for a filled tree (default 90000)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
demo="$root/build/demo"
lab="$root/lab/net/vx-lab.sh"
native="$root/build/native"
# One user of the lab at a time: the demo takes the lab lock and its
# background processes keep it (they inherit the descriptor) until
# `demo.sh stop`. When this script already runs under `flock` on it, that
# lock is used instead of waiting for it.
lab_lock=/tmp/vx-lab.lock

# The demo's own processes; they hold the lab lock (see below) while they run.
stop_own() {
  if [ -f "$demo/wine/env" ]; then
    VX_WINE_NETNS=vxpc1 "$root/tests/wine/wine-env.sh" stop "$demo" || true
  fi
  for p in "$demo"/*.pid; do
    [ -f "$p" ] && kill "$(cat "$p")" >/dev/null 2>&1 || true
    rm -f "$p"
  done
}

if [ "${1:-}" = stop ]; then
  stop_own
  # The lab goes down only when nobody else (a lab test) is using it.
  if [ -x "$lab" ] && flock -w 10 "$lab_lock" "$lab" down --kill >/dev/null 2>&1; then
    echo "demo: stopped"
  else
    echo "demo: stopped; the lab stays up (in use, or already down)"
  fi
  exit 0
fi

"$root/scripts/install-deps.sh"
echo "demo: building (native lab programs, vessix.exe)"
cmake --preset native >/dev/null
cmake --build --preset native -j"$(nproc)" --target vx-uds vx-busd vx-pnp vessix-cli >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$(nproc)" --target vessix vx-auto >/dev/null

stop_own
under_lock=0
for fd in /proc/$$/fd/*; do
  [ "$(readlink "$fd" 2>/dev/null)" = "$lab_lock" ] && under_lock=1
done
if [ "$under_lock" = 0 ]; then
  exec 9>>"$lab_lock"
  if ! flock -n 9; then
    echo "demo: waiting for the lab (another lab test or demo holds $lab_lock)"
    flock -w 900 9 || { echo "demo: the lab stayed in use for 15 minutes" >&2; exit 1; }
  fi
fi
mkdir -p "$demo"
"$lab" up >/dev/null

# The simulated servers: the LAN's in vxsrv, the remote one in vxwan.
ip netns exec vxsrv setsid "$native/lab/uds/vx-uds" --config "$root/lab/demo/servers.json" \
  --control "$demo/uds.sock" >"$demo/vx-uds.log" 2>&1 </dev/null &
echo $! >"$demo/vx-uds.pid"
ip netns exec vxwan setsid "$native/lab/uds/vx-uds" --config "$root/lab/demo/remote.json" \
  --control "$demo/uds-remote.sock" >"$demo/vx-uds-remote.log" 2>&1 </dev/null &
echo $! >"$demo/vx-uds-remote.pid"
for _ in $(seq 1 200); do
  grep -q ready "$demo/vx-uds.log" && grep -q ready "$demo/vx-uds-remote.log" && break
  sleep 0.05
done
grep -q ready "$demo/vx-uds.log" && grep -q ready "$demo/vx-uds-remote.log" || {
  echo "demo: the simulated servers did not start (see $demo/vx-uds*.log)" >&2; exit 1; }

# The bus driver emulator of PC 1 ("VXPC1"); it lists the remote server by
# address, and a device it gives to PC 1 leaves the registry keys Windows would
# create in PC 1's Wine prefix (lab/pnp/vx-pnp-hook.sh; the prefix is made below).
ip netns exec vxpc1 setsid "$native/lab/busd/vx-busd" --name VXPC1 --listen 127.0.0.1:7600 \
  --remote 10.99.0.21 \
  --on-claim "$root/lab/pnp/vx-pnp-hook.sh --wine-env $demo/wine/env --pnp $native/lab/pnp/vx-pnp" \
  >"$demo/vx-busd.log" 2>&1 </dev/null &
echo $! >"$demo/vx-busd.pid"

# Wine inside PC 1, on the caller's display or a private Xvfb, with the host
# name vxpc1: Windows' computer name is then VXPC1, the name PC 1's driver
# claims devices under, so the program sees what it connects as its own.
if [ -n "${DISPLAY:-}" ]; then export VX_WINE_DISPLAY=$DISPLAY; fi
VX_WINE_NETNS=vxpc1 VX_WINE_HOSTNAME=vxpc1 "$root/tests/wine/wine-env.sh" start "$demo" >/dev/null
# shellcheck disable=SC1091
. "$demo/wine/env"
export DISPLAY

exe="$root/build/windows/src/app/win32/vessix.exe"
VX_BINARY_DIR="$demo" VESSIX_BUS_EMULATOR=127.0.0.1:7600 setsid "$root/tests/wine/wine-run.sh" "$exe" \
  >"$demo/vessix.log" 2>&1 </dev/null &
echo $! >"$demo/vessix.pid"

# Wait for the main window and for its tree (UDSTreeView) to list the servers,
# through the automation helper; the screenshot is saved either way.
# shellcheck source=../tests/e2e/lib/auto.sh
. "$root/tests/e2e/lib/auto.sh"
vx_auto_init "$demo" "$root/build/windows/tests/automation/vx-auto.exe"
tree_timeout=${VX_DEMO_TREE_TIMEOUT:-90000}
if ! vx_wait_window TMainFm 60000; then
  echo "demo: the main window did not appear within 60 s (see $demo/vessix.log)" >&2
elif vx_wait_tree TMainFm 1 "$tree_timeout" --id 120 >"$demo/tree.json"; then
  # The searching caption ends with the first full refresh.
  vx_auto window --class TMainFm --title Vessix --timeout 20000 >/dev/null ||
    echo "demo: the caption still shows the search after 20 s" >&2
  vx_auto tree --class TMainFm --id 120 >"$demo/tree.json"
  echo "demo: the tree lists:"
  jq -r '.items[] | "  " + ("  " * .depth) + .text' "$demo/tree.json"
else
  echo "demo: the tree stayed empty after $((tree_timeout / 1000)) s" >&2
fi
shot=$(vx_screenshot vessix-demo)
echo "demo: screenshot saved to $shot"
echo "demo: vessix.exe runs in lab PC vxpc1 on display $DISPLAY (logs in $demo)"
echo "demo: list what PC 1's driver knows: ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 $native/src/cli/vessix-cli servers"
echo "demo: stop everything (and free the lab) with: bash scripts/demo.sh stop"
