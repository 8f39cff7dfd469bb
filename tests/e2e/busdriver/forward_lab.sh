#!/usr/bin/env bash
# Lab test of the path from a server's reply to the driver's bus list:
# vessix.exe (under Wine inside vxpc1) broadcasts its discovery request, its
# listener receives the reply of a server in vxsrv and forwards it through
# SendUdpPacket over the lab channel, and the server appears in the bus list
# of vx-busd in vxpc1. Nothing else feeds vx-busd here: it does no discovery
# of its own and the server does not announce itself. Run it under
# `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab, Wine or the
# Windows build is missing.
#   forward_lab.sh PROBE VX-BUSD VX-UDS VESSIX.EXE
set -euo pipefail
probe=$1 busd=$2 uds=$3 exe=$4
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
[ -x "$lab" ] || { echo "forward_lab: no lab script ($lab): skipped"; exit 77; }
[ -f "$exe" ] || { echo "forward_lab: no Windows build of vessix.exe ($exe): skipped"; exit 77; }
command -v wine >/dev/null || { echo "forward_lab: no Wine: skipped"; exit 77; }

work=$(mktemp -d /tmp/vx-forward-lab.XXXXXX)
wb=$work/wine-build
test_name=forward_lab
# shellcheck source=lab_steps.sh
. "$here/lab_steps.sh"
lab_up

# One server that only answers requests (no announcements).
cat >"$work/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 0, "servers": [
  {"name": "UDS-FWD", "mac": "00:80:92:00:00:25", "ip": "10.77.0.25", "model": "MD-LAN01"}
]}
JSON

ip netns exec vxsrv "$uds" --config "$work/servers.json" --control 7701 >"$work/uds.log" 2>&1 &
pids+=($!)
ip netns exec vxpc1 "$busd" --name VXPC1 --listen 127.0.0.1:7600 >"$work/busd.log" 2>&1 &
pids+=($!)
wait_for "$work/busd.log" 10 listening || fail "vx-busd did not start"
wait_for "$work/uds.log" 10 ready || fail "vx-uds did not start"

buslist() { ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" buslist; }
[ -z "$(buslist)" ] || fail "the bus list is not empty before vessix.exe runs: $(buslist)"

mkdir -p "$wb"
on_exit+=("VX_WINE_NETNS=vxpc1 '$src/tests/wine/wine-env.sh' stop '$wb'")
VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" start "$wb" >"$work/wine.log" 2>&1 || fail "Wine did not start"
VX_BINARY_DIR="$wb" VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$src/tests/wine/wine-run.sh" "$exe" \
  >"$work/vessix.log" 2>&1 </dev/null &
pids+=($!)

ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" wait-server 10.77.0.25 1 90 ||
  fail "vessix.exe's forward did not list 10.77.0.25 in vx-busd's bus list"
buslist >"$work/buslist.out"
grep -qx "10.77.0.25 UDS-FWD 1" "$work/buslist.out" || fail "bus list: $(cat "$work/buslist.out")"
pass "a server's reply forwarded by vessix.exe appears in vx-busd's bus list with its name"

echo "forward_lab: all passed"
