#!/usr/bin/env bash
# Lab test of the bus driver: the program's driver operations (busdriver-probe,
# vessix-cli servers) over the lab channel to vx-busd in vxpc1 and vxpc2, which
# talk to vx-uds's device sharing in vxsrv and vxwan. Run it under
# `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab cannot be made.
#   busdriver_lab.sh PROBE VX-BUSD VESSIX-CLI
set -euo pipefail
probe=$1 busd=$2 cli=$3
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
uds=$bin/lab/uds/vx-uds
[ -x "$lab" ] || { echo "busdriver_lab: no lab script ($lab): skipped"; exit 77; }
[ -x "$uds" ] || { echo "busdriver_lab: vx-uds not built ($uds): skipped"; exit 77; }

work=$(mktemp -d /tmp/vx-busdriver-lab.XXXXXX)
test_name=busdriver_lab
# shellcheck source=lab_steps.sh
. "$here/lab_steps.sh"
lab_up

cat >"$work/servers.json" <<'EOF'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"},
    {"device_no": 2, "vid": "04A9", "pid": "1905", "class": "SCANNER", "manufacturer": "Optix",
     "product": "Scan 3", "serial": "SN-A2"}]},
  {"name": "UDS-B", "mac": "00:80:92:00:00:22", "ip": "10.77.0.22", "devices": [
    {"device_no": 1, "vid": "03F0", "pid": "2B17", "class": "MFP", "manufacturer": "Mfx",
     "product": "All 5", "serial": "SN-B1"}]},
  {"name": "UDS-X", "mac": "00:80:92:00:00:31", "ip": "10.88.0.21"}
]}
EOF
cat >"$work/wan.json" <<'EOF'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-WAN", "mac": "00:80:92:00:00:41", "ip": "10.99.0.21", "devices": [
    {"device_no": 3, "vid": "0781", "pid": "5567", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Stick", "serial": "SN-W3"}]}
]}
EOF

ip netns exec vxsrv "$uds" --config "$work/servers.json" --control 7700 >"$work/uds.log" 2>&1 &
pids+=($!)
ip netns exec vxwan "$uds" --config "$work/wan.json" --control 7700 >"$work/wan.log" 2>&1 &
pids+=($!)
for pc in 1 2; do
  ip netns exec vxpc$pc "$busd" --name VXPC$pc --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
    --remote 10.99.0.21 >"$work/busd$pc.log" 2>&1 &
  pids+=($!)
done

for f in busd1 busd2; do wait_for "$work/$f.log" 10 listening || fail "$f did not start"; done
wait_for "$work/uds.log" 10 ready || fail "vx-uds did not start"
wait_for "$work/wan.log" 10 ready || fail "the remote vx-uds did not start"

ctl() {  # a control command to vx-uds in vxsrv; prints its reply line
  ip netns exec vxsrv bash -c 'exec 3<>/dev/tcp/127.0.0.1/7700; printf "%s\n" "$1" >&3; IFS= read -r line <&3; echo "$line"' _ "$*"
}
on() {  # on PC COMMAND...: a probe command inside that PC's namespace
  local pc=$1
  shift
  ip netns exec vxpc$pc env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" "$@"
}
events() {  # events PC FILE CODE...: reads events in the background
  local pc=$1 file=$2
  shift 2
  ip netns exec vxpc$pc env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$probe" events 30 "$@" >"$file" 2>&1 &
  pids+=($!)
  wait_for "$file" 10 ready || fail "event reader on PC $pc did not start"
  echo $!
}

# 1. The bus list shows the discovered servers with their location codes.
on 1 wait-server 10.77.0.21 1 30 || fail "10.77.0.21 not listed with location 1"
on 1 wait-server 10.77.0.22 1 30 || fail "10.77.0.22 not listed with location 1"
on 1 wait-server 10.88.0.21 2 30 || fail "10.88.0.21 not listed with location 2 (another subnet)"
on 1 wait-server 10.99.0.21 3 30 || fail "10.99.0.21 not listed with location 3 (remote)"
on 2 wait-server 10.77.0.21 1 30 || fail "PC 2 does not list 10.77.0.21"
pass "bus list with locations 1, 2 and 3"

ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$cli" servers --json >"$work/servers.out" ||
  fail "vessix-cli servers failed"
grep -q '"ip":"10.77.0.21","name":"UDS-A","location":1,"devices":\[{"device_no":1,"vid":"04B8","pid":"0E03","class":"PRINTER"' \
  "$work/servers.out" || fail "servers --json lacks UDS-A's printer: $(cat "$work/servers.out")"
grep -q '"ip":"10.99.0.21","name":"UDS-WAN","location":3,"devices":\[{"device_no":3' "$work/servers.out" ||
  fail "servers --json lacks the remote server's device"
pass "vessix-cli servers --json"

# The same through the Windows build under Wine (Winsock lab channel), when
# that build exists. Wine makes its sockets in the wineserver, which must run
# inside vxpc1 as well.
wexe=${VX_WINDOWS_CLI:-$src/build/windows/src/cli/vessix-cli.exe}
if [ -f "$wexe" ] && [ "$wexe" -ot "$src/src/cli/cmd_servers.cpp" ]; then
  echo "busdriver_lab: $wexe is older than its sources: Wine step skipped"
elif [ -f "$wexe" ] && command -v wine >/dev/null; then
  wb="$work/wine-build"
  mkdir -p "$wb"
  VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" start "$wb" >"$work/wine.log" 2>&1 || fail "Wine did not start"
  ip netns exec vxpc1 env VX_BINARY_DIR="$wb" VX_WINE_NETWORK=inherit VESSIX_BUS_EMULATOR=127.0.0.1:7600 \
    "$src/tests/wine/wine-run.sh" "$wexe" servers --json >"$work/servers-wine.out" 2>"$work/wine-run.log" || true
  VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" stop "$wb" >/dev/null 2>&1 || true
  grep -q '"ip":"10.77.0.21","name":"UDS-A","location":1' "$work/servers-wine.out" ||
    fail "vessix-cli.exe servers under Wine: $(cat "$work/servers-wine.out" "$work/wine-run.log")"
  pass "vessix-cli.exe servers under Wine"
else
  echo "busdriver_lab: no Windows build of vessix-cli ($wexe): Wine step skipped"
fi

# 2. PC 1 claims and locks a device; PC 2 sees PC 1 as its holder with lock type 2.
on 1 claim 10.77.0.21 1 || fail "PC 1 cannot claim device 1"
on 1 lock 10.77.0.21 1 2 3600 || fail "PC 1 cannot lock device 1"
on 2 devices 10.77.0.21 >"$work/devices2.out" || fail "PC 2 cannot read the device list"
grep -q "device=1 class=PRINTER owner=VXPC1 lock_type=2 lock_count=1" "$work/devices2.out" ||
  fail "PC 2 does not see PC 1 as holder: $(cat "$work/devices2.out")"
on 2 claim 10.77.0.21 1 && fail "PC 2 claimed a device PC 1 holds"
pass "claim and lock seen by the other PC"

# 3. A request from PC 2 arrives at PC 1 as event 4 with PC 2's address and name.
events 1 "$work/ev4.out" 4 >/dev/null
on 2 request 10.77.0.21 1 1 || fail "PC 2's request failed"
wait_for "$work/ev4.out" 20 "code=4 command=1 device=1 server=10.77.0.21 asker=10.77.0.12 host=VXPC2" ||
  fail "no request event at PC 1: $(cat "$work/ev4.out")"
pass "request relayed as event 4"

# 4. Unplugging a device gives event 1 for its server.
events 1 "$work/ev1.out" 1 >/dev/null
[ "$(ctl unplug UDS-A 2)" = ok ] || fail "unplug refused"
wait_for "$work/ev1.out" 20 "code=1 server=10.77.0.21" || fail "no device-list event: $(cat "$work/ev1.out")"
pass "unplug gives event 1"

# 5. Stopping a server with a TCP bus gives event 6, then event 2.
on 1 devices 10.77.0.22 >/dev/null || fail "no TCP bus to 10.77.0.22"
events 1 "$work/ev62.out" 6 2 >/dev/null
ctl remove UDS-B >/dev/null
wait_for "$work/ev62.out" 20 "code=2" || fail "no events 6 then 2: $(cat "$work/ev62.out")"
first=$(grep -m1 -E '^code=(6|2)' "$work/ev62.out")
[ "$first" = "code=6 error=1 server=10.77.0.22" ] || fail "event 6 did not come first: $(cat "$work/ev62.out")"
pass "stopped server gives event 6 then event 2"

echo "busdriver_lab: all passed"
