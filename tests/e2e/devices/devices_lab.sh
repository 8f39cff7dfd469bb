#!/usr/bin/env bash
# Lab test of vessix-cli's device commands: PC 1 connects a printer, PC 2 sees
# PC 1 as its holder with the manual lock type; disconnect frees it again;
# disconnect-all releases what PC 1 holds. Run it under
# `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab cannot be made.
#   devices_lab.sh VX-BUSD VESSIX-CLI BUSDRIVER-PROBE
set -euo pipefail
busd=$1 cli=$2 probe=$3
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
uds=$bin/lab/uds/vx-uds
[ -x "$lab" ] || { echo "devices_lab: no lab script ($lab): skipped"; exit 77; }
[ -x "$uds" ] || { echo "devices_lab: vx-uds not built ($uds): skipped"; exit 77; }

work=$(mktemp -d /tmp/vx-devices-lab.XXXXXX)
test_name=devices_lab
# shellcheck source=../busdriver/lab_steps.sh
. "$src/tests/e2e/busdriver/lab_steps.sh"
lab_up

cat >"$work/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"},
    {"device_no": 2, "vid": "0781", "pid": "5567", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Stick", "serial": "SN-A2"}]}
]}
JSON

ip netns exec vxsrv "$uds" --config "$work/servers.json" --control 7700 >"$work/uds.log" 2>&1 &
pids+=($!)
for pc in 1 2; do
  ip netns exec vxpc$pc "$busd" --name VXPC$pc --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
    >"$work/busd$pc.log" 2>&1 &
  pids+=($!)
done
for f in busd1 busd2; do wait_for "$work/$f.log" 10 listening || fail "$f did not start"; done
wait_for "$work/uds.log" 10 ready || fail "vx-uds did not start"

cli() {  # cli PC ARGS...: vessix-cli inside that PC's namespace, named as the lab names it
  local pc=$1
  shift
  ip netns exec vxpc$pc env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME=VXPC$pc "$cli" "$@"
}
device_json() {  # device_json PC NO: the device's object as PC sees it on 10.77.0.21
  cli "$1" servers --json 2>/dev/null | grep '"ip":"10.77.0.21"' | grep -o "{\"device_no\":$2,[^}]*}" || true
}

# The server is discovered by both PCs' drivers.
for i in $(seq 1 30); do
  [ -n "$(device_json 1 1)" ] && [ -n "$(device_json 2 1)" ] && break
  sleep 1
done
[ -n "$(device_json 2 1)" ] || fail "10.77.0.21's devices are not listed"

# 1. Connect in PC 1; PC 2 sees PC 1 as the holder with lock type 2.
cli 1 connect 10.77.0.21 1 --json >"$work/connect.out" 2>"$work/connect.err" ||
  fail "connect failed: $(cat "$work/connect.out" "$work/connect.err")"
grep -q '"result":"connected","owner":"VXPC1","lock_type":2,"lock_time":3600' "$work/connect.out" ||
  fail "connect result: $(cat "$work/connect.out")"
d=$(device_json 2 1)
echo "$d" | grep -q '"owner":"VXPC1","lock_type":2' || fail "PC 2 does not see VXPC1 holding: $d"
pass "connect in PC 1 seen by PC 2 with lock type 2"

# 2. PC 2 cannot connect it and cannot disconnect it (exit 1, reason on stderr).
rc=0
cli 2 connect 10.77.0.21 1 >/dev/null 2>"$work/refused.err" || rc=$?
[ "$rc" = 1 ] && grep -q "held by VXPC1" "$work/refused.err" || fail "PC 2's connect: rc $rc $(cat "$work/refused.err")"
rc=0
cli 2 disconnect 10.77.0.21 1 >/dev/null 2>&1 || rc=$?
[ "$rc" = 1 ] || fail "PC 2 disconnected PC 1's device (rc $rc)"
d=$(device_json 1 1)
echo "$d" | grep -q '"owner":"VXPC1"' || fail "PC 1 lost the device: $d"
pass "the other PC is refused"

# 3. Disconnect in PC 1 frees it.
cli 1 disconnect 10.77.0.21 1 --json >"$work/disconnect.out" 2>&1 || fail "disconnect: $(cat "$work/disconnect.out")"
grep -q '"result":"disconnected"' "$work/disconnect.out" || fail "disconnect result: $(cat "$work/disconnect.out")"
d=$(device_json 2 1)
echo "$d" | grep -q '"owner":""' || fail "device 1 still held: $d"
pass "disconnect frees the device"

# 4. Disconnect-all releases both devices PC 1 holds (the storage with its own lock time).
cli 1 connect 10.77.0.21 1 >/dev/null || fail "second connect of device 1"
cli 1 connect 10.77.0.21 2 --json >"$work/storage.out" || fail "connect of the storage device"
grep -q '"lock_time":259200' "$work/storage.out" || fail "storage lock time: $(cat "$work/storage.out")"
cli 1 disconnect-all --json >"$work/all.out" 2>&1 || fail "disconnect-all: $(cat "$work/all.out")"
[ "$(grep -c '"result":"disconnected"' "$work/all.out")" = 2 ] || fail "disconnect-all: $(cat "$work/all.out")"
for n in 1 2; do
  d=$(device_json 2 $n)
  echo "$d" | grep -q '"owner":""' || fail "device $n still held after disconnect-all: $d"
done
pass "disconnect-all releases every device of PC 1"

# 5. PC 2 asks for the printer PC 1 holds; PC 1 lets it go; PC 2 connects it.
cli 1 connect 10.77.0.21 1 >/dev/null || fail "third connect of device 1"
ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" events 30 4 >"$work/ev-req.out" 2>&1 &
pids+=($!)
wait_for "$work/ev-req.out" 10 ready || fail "event reader on PC 1 did not start"
cli 2 request 10.77.0.21 1 --wait 30 --json >"$work/request.out" 2>"$work/request.err" &
req=$!
pids+=($req)
wait_for "$work/ev-req.out" 30 "code=4 command=1 device=1 server=10.77.0.21" || fail "no request at PC 1: $(cat "$work/ev-req.out")"
cli 1 disconnect 10.77.0.21 1 >/dev/null || fail "PC 1 cannot let the device go"
wait "$req" || fail "request: $(cat "$work/request.out" "$work/request.err")"
grep -q '"result":"connected","owner":"VXPC2","lock_type":2' "$work/request.out" || fail "request: $(cat "$work/request.out")"
d=$(device_json 1 1)
echo "$d" | grep -q '"owner":"VXPC2","lock_type":2' || fail "PC 1 does not see VXPC2 holding: $d"
pass "request answered by letting go: the asker connects"

# 6. PC 1 asks for it back; PC 2 refuses: the asker reports "refused", exit 1.
ip netns exec vxpc2 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" events 30 4 >"$work/ev-req2.out" 2>&1 &
pids+=($!)
wait_for "$work/ev-req2.out" 10 ready || fail "event reader on PC 2 did not start"
cli 1 request 10.77.0.21 1 --wait 30 --json >"$work/refusal.out" 2>"$work/refusal.err" &
req=$!
pids+=($req)
wait_for "$work/ev-req2.out" 30 "code=4 command=1 device=1 server=10.77.0.21 asker=10.77.0.11" ||
  fail "no request at PC 2: $(cat "$work/ev-req2.out")"
ip netns exec vxpc2 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" request 10.77.0.21 1 2 10.77.0.11 ||
  fail "PC 2 cannot send the refusal"
rc=0
wait "$req" || rc=$?
[ "$rc" = 1 ] && grep -q '"result":"refused"' "$work/refusal.out" ||
  fail "refusal: rc $rc $(cat "$work/refusal.out" "$work/refusal.err")"
pass "refused request"

echo "devices_lab: all passed"
