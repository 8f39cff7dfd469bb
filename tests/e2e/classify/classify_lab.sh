#!/usr/bin/env bash
# Lab test of `vessix-cli classify <server-ip> <device-no>`: the device's ids
# come from the server's device list through the lab's bus driver, and are
# classified against the device registry fixtures (natively there is no
# device registry, so --registry gives one). Run it under
# `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab cannot be made.
#   classify_lab.sh VX-BUSD VESSIX-CLI
set -euo pipefail
busd=$1 cli=$2
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
uds=$bin/lab/uds/vx-uds
testdata=$src/src/classify/testdata
[ -x "$lab" ] || { echo "classify_lab: no lab script ($lab): skipped"; exit 77; }
[ -x "$uds" ] || { echo "classify_lab: vx-uds not built ($uds): skipped"; exit 77; }

work=$(mktemp -d /tmp/vx-classify-lab.XXXXXX)
test_name=classify_lab
# shellcheck source=../busdriver/lab_steps.sh
. "$src/tests/e2e/busdriver/lab_steps.sh"
lab_up

# The devices of the fixtures printer.reg and dot4_multifunction_fax.reg, and
# one that no fixture knows.
cat >"$work/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-C", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "devices": [
    {"device_no": 1, "vid": "2C1E", "pid": "0101", "class": "PRINTER", "manufacturer": "Orvane",
     "product": "LX-3100", "serial": "ORV3100A77"},
    {"device_no": 2, "vid": "1F3A", "pid": "5511", "class": "PRINTER", "manufacturer": "Talbrin",
     "product": "OfficePro 7410", "serial": "CN0B1K2C3D"},
    {"device_no": 3, "vid": "2C1E", "pid": "0101", "class": "PRINTER", "manufacturer": "Orvane",
     "product": "LX-3100", "serial": "OTHER"}]}
]}
JSON

ip netns exec vxsrv "$uds" --config "$work/servers.json" --control 7700 >"$work/uds.log" 2>&1 &
pids+=($!)
ip netns exec vxpc1 "$busd" --name VXPC1 --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
  >"$work/busd1.log" 2>&1 &
pids+=($!)
wait_for "$work/busd1.log" 10 listening || fail "vx-busd did not start"
wait_for "$work/uds.log" 10 ready || fail "vx-uds did not start"

cli() {  # vessix-cli inside PC 1's namespace
  ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME=VXPC1 "$cli" "$@"
}
for i in $(seq 1 30); do
  cli servers --json 2>/dev/null | grep -q '"ip":"10.77.0.21".*"device_no":3' && break
  sleep 1
done
cli servers --json 2>/dev/null | grep -q '"ip":"10.77.0.21".*"device_no":3' || fail "10.77.0.21's devices are not listed"

both="$work/both.reg"
{ cat "$testdata/printer.reg"; tail -n +2 "$testdata/dot4_multifunction_fax.reg"; } >"$both"

cli classify 10.77.0.21 1 --registry "$both" --json >"$work/p.out" 2>"$work/p.err" ||
  fail "classify 1: $(cat "$work/p.out" "$work/p.err")"
grep -q '^{"USBClass":4,"functions":\["USBCLASS_PRINTER"\],.*"PrinterName":"Orvane LX-3100 Series","PrinterPort":"USB001"' \
  "$work/p.out" || fail "classify 1: $(cat "$work/p.out")"
pass "the printer by server and device number"

cli classify 10.77.0.21 2 --registry "$both" --json >"$work/m.out" 2>"$work/m.err" ||
  fail "classify 2: $(cat "$work/m.out" "$work/m.err")"
grep -q '"USBClass":3116,.*"FaxName":"Talbrin OfficePro 7410 Fax"' "$work/m.out" || fail "classify 2: $(cat "$work/m.out")"
pass "the DOT4 multifunction device with its fax queue"

rc=0
cli classify 10.77.0.21 3 --registry "$both" >"$work/u.out" 2>&1 || rc=$?
[ "$rc" = 1 ] && grep -q "not found on this PC" "$work/u.out" || fail "classify 3: rc $rc $(cat "$work/u.out")"
rc=0
cli classify 10.77.0.21 9 --registry "$both" >"$work/n.out" 2>&1 || rc=$?
[ "$rc" = 1 ] && grep -q "no device 9 on 10.77.0.21" "$work/n.out" || fail "classify 9: rc $rc $(cat "$work/n.out")"
pass "an unknown serial and a missing device exit 1"

echo "classify_lab: all passed"
