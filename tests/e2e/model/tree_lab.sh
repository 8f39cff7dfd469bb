#!/usr/bin/env bash
# Lab test of the server tree: vessix.exe runs under Wine inside PC 1
# (vxpc1) with the lab's bus driver emulator; simulated servers run in vxsrv
# and vxwan. The tree is read and clicked through the automation helper
# (vx-auto). Run it under `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when
# the lab or the Windows build is missing.
#   tree_lab.sh VX-UDS VX-BUSD
# VX_IDLE_SECONDS=60 also measures the program's idle CPU time with a filled
# tree; VX_ANNOUNCE_INTERVAL sets the servers' announcement interval (2 s).
# Screenshots are kept in $VX_BINARY_DIR/e2e-model/screenshots.
set -euo pipefail
uds=$1 busd=$2
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
exe=${VX_VESSIX_EXE:-$src/build/windows/src/app/win32/vessix.exe}
auto_exe=${VX_AUTO_EXE:-$src/build/windows/tests/automation/vx-auto.exe}
[ -x "$lab" ] || { echo "tree_lab: no lab script: skipped"; exit 77; }
[ -f "$exe" ] || { echo "tree_lab: no Windows build of vessix.exe ($exe): skipped"; exit 77; }
[ -f "$auto_exe" ] || { echo "tree_lab: no automation helper ($auto_exe): skipped"; exit 77; }
command -v wine >/dev/null || { echo "tree_lab: no Wine: skipped"; exit 77; }
command -v jq >/dev/null || { echo "tree_lab: no jq: skipped"; exit 77; }

run=$bin/e2e-model
rm -rf "$run/wine" "$run"/*.log
mkdir -p "$run"
work=$(mktemp -d /tmp/vx-tree-lab.XXXXXX)
pids=()
was_up=0
ip netns list 2>/dev/null | grep -qw vxpc1 && was_up=1
cleanup() {
  VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" stop "$run" >/dev/null 2>&1 || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  ip netns exec vxpc1 ip addr del 10.77.0.13/24 dev eth0 2>/dev/null || true
  [ "$was_up" = 1 ] || "$lab" down --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

rc=0
"$lab" up >"$run/lab.log" 2>&1 || rc=$?
if [ "$rc" = 77 ]; then echo "tree_lab: the lab cannot be made here: skipped"; exit 77; fi
[ "$rc" = 0 ] || { cat "$run/lab.log"; exit 1; }

. "$src/tests/e2e/lib/auto.sh"
fail() {
  echo "tree_lab: FAIL: $*" >&2
  vx_screenshot "failed" >/dev/null 2>&1 || true
  vx_tree_lines TMainFm --id 120 >&2 2>/dev/null || true
  for f in "$run"/*.log; do echo "--- $f"; tail -15 "$f"; done >&2
  exit 1
}
pass() { echo "tree_lab: ok: $*"; }
wait_for() {  # FILE SECONDS TEXT
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    grep -qF -- "$3" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

cat >"$run/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": ANNOUNCE, "reboot_seconds": 3, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "model": "MD-LAN01", "software_bus": 1,
   "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"},
    {"device_no": 2, "vid": "04A9", "pid": "1905", "class": "SCANNER", "manufacturer": "Optix",
     "product": "Scan 3", "serial": "SN-A2"},
    {"device_no": 5, "vid": "0781", "pid": "5567", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Stick", "serial": "SN-A5", "plugged": false}]},
  {"name": "UDS-B", "mac": "00:80:92:00:00:22", "ip": "10.77.0.22", "model": "MD-LAN01", "software_bus": 1,
   "devices": [
    {"device_no": 1, "vid": "03F0", "pid": "2B17", "class": "MFP", "manufacturer": "Mfx",
     "product": "All 5", "serial": "SN-B1", "owner": "VXPC2", "lock_type": 2}]},
  {"name": "UDS-C", "mac": "00:80:92:00:00:23", "ip": "10.77.0.23", "model": "MD-LAN01", "software_bus": 1,
   "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E04", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 10", "serial": "SN-C1"}]},
  {"name": "UDS-X", "mac": "00:80:92:00:00:31", "ip": "10.88.0.21", "model": "MD-LAN01", "software_bus": 1}
]}
JSON
cat >"$run/wan.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-WAN", "mac": "00:80:92:00:00:41", "ip": "10.99.0.21", "software_bus": 1, "devices": [
    {"device_no": 3, "vid": "0781", "pid": "5567", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Stick", "serial": "SN-W3"}]}
]}
JSON

sed -i "s/ANNOUNCE/${VX_ANNOUNCE_INTERVAL:-2}/" "$run/servers.json"
ip netns exec vxsrv "$uds" --config "$run/servers.json" --control 7701 >"$run/uds.log" 2>&1 &
pids+=($!)
ip netns exec vxwan "$uds" --config "$run/wan.json" --control 7701 >"$run/wan.log" 2>&1 &
pids+=($!)
ip netns exec vxpc1 "$busd" --name VXPC1 --listen 127.0.0.1:7600 --remote 10.99.0.21 --stale-seconds 8 \
  >"$run/busd.log" 2>&1 &
pids+=($!)
wait_for "$run/uds.log" 10 ready || fail "vx-uds did not start"
wait_for "$run/wan.log" 10 ready || fail "the remote vx-uds did not start"
wait_for "$run/busd.log" 10 listening || fail "vx-busd did not start"
ctl() {  # a control command to the LAN's vx-uds; prints its reply line
  ip netns exec vxsrv bash -c 'exec 3<>/dev/tcp/127.0.0.1/7701; printf "%s\n" "$1" >&3; IFS= read -r line <&3; echo "$line"' _ "$*"
}

VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" start "$run" >"$run/wine-env.log" 2>&1 || fail "Wine did not start"
vx_auto_init "$run" "$auto_exe"
start=$(date +%s%N)
VX_BINARY_DIR="$run" VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$src/tests/wine/wine-run.sh" "$exe" \
  >"$run/vessix.log" 2>&1 </dev/null &
pids+=($!)
vx_wait_window TMainFm 60000 || fail "the main window did not appear"
shown=$(date +%s%N)
echo "tree_lab: start to the main window: $(((shown - start) / 1000000)) ms"

tree() { vx_tree_lines TMainFm --id 120; }
# Waits until the tree has a line matching the pattern (grep -E), up to $2 s.
wait_line() {
  local pattern=$1 seconds=$2 i
  for ((i = 0; i < seconds * 5; i++)); do
    tree >"$work/tree.txt" 2>/dev/null || true
    grep -qE -- "$pattern" "$work/tree.txt" && return 0
    sleep 0.2
  done
  return 1
}
wait_no_line() {
  local pattern=$1 seconds=$2 i
  for ((i = 0; i < seconds * 5; i++)); do
    tree >"$work/tree.txt" 2>/dev/null || true
    grep -qE -- "$pattern" "$work/tree.txt" || return 0
    sleep 0.2
  done
  return 1
}

# 1. The servers in their order with suffixes, the devices under the usable ones.
wait_line '^  PRINTER - Acme - Laser 10$' 60 || fail "UDS-C's devices never appeared"
wait_line '^UDS-WAN - 10.99.0.21 \[Online\]$' 30 || fail "the remote server never went online"
wait_line '^UDS-X - 10.88.0.21 \[サーバをダブルクリックして' 30 || fail "no double-click suffix on UDS-X"
filled=$(date +%s%N)
echo "tree_lab: start to a filled tree: $(((filled - start) / 1000000)) ms (window shown to filled: $(((filled - shown) / 1000000)) ms)"
tree >"$work/tree.txt"
top=$(grep -v '^ ' "$work/tree.txt" | tr '\n' '|')
expected='UDS-WAN - 10.99.0.21 [Online]|UDS-A - 10.77.0.21|UDS-B - 10.77.0.22|UDS-C - 10.77.0.23|UDS-X - 10.88.0.21 [サーバをダブルクリックして、IPアドレスを変更してください。]|'
[ "$top" = "$expected" ] || fail "server order: $top"
grep -qx '  MFP - Mfx - All 5 \[ 手動接続： VXPC2 \]' "$work/tree.txt" || fail "no owner label on UDS-B's device"
grep -qx '  MASS STORAGE - Disk - Stick' "$work/tree.txt" || fail "no device under the remote server"
vx_screenshot tree-filled >/dev/null
pass "servers in order with suffixes, devices under the usable ones"

# The tool bars and the menus in Japanese (the program sets it at every start);
# with nothing selected every tool button is disabled.
vx_auto toolbar --class TMainFm >"$work/toolbar.json" || fail "cannot read the tool bars"
visible=$(jq -r '[.toolbars[].buttons[] | select(.hidden | not) | select(.separator | not) | select(.text != "")] |
  map(.text | gsub("\r"; "") | gsub("\n"; "/")) | join("|")' "$work/toolbar.json")
[ "$visible" = "サーバ/設定|自動接続/プリンタ|接続|切断|USBデバイス/の切断要求|ネットワーク/スキャナ" ] ||
  fail "tool buttons: $visible"
enabled=$(jq '[.toolbars[].buttons[] | select(.hidden | not) | select(.enabled)] | length' "$work/toolbar.json")
[ "$enabled" = 0 ] || fail "$enabled tool buttons enabled with nothing selected"
vx_auto menu --class TMainFm >"$work/menu.json" || fail "cannot read the menus"
for label in "システム (S)" "終了" "ツール (T)" "設定" "自動接続プリンタリスト" "ヘルプ (H)" "バージョン情報"; do
  jq -e --arg l "$label" '[.items[] | select(.label == $l)] | length > 0' "$work/menu.json" >/dev/null ||
    fail "no menu item '$label': $(jq -c '[.items[].label]' "$work/menu.json")"
done
pass "tool bars and menus in Japanese, every command disabled"

if [ -n "${VX_IDLE_SECONDS:-}" ]; then
  # Idle CPU of the running program with a filled tree (its Wine process).
  pid=$(pgrep -f 'vessix.exe' | head -1 || true)
  if [ -n "$pid" ]; then
    ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    t0=$(ticks)
    sleep "$VX_IDLE_SECONDS"
    t1=$(ticks)
    hz=$(getconf CLK_TCK)
    echo "tree_lab: idle CPU over ${VX_IDLE_SECONDS} s: $(( (t1 - t0) * 1000 / hz )) ms (process $pid)"
  fi
fi

# 2. A device plugged in appears within two seconds (device-list event).
ctl plug UDS-A 5 | grep -q ok || fail "vx-uds could not plug device 5"
wait_line '^  MASS STORAGE - Disk - Stick$' 2 && grep -A4 '^UDS-A' "$work/tree.txt" | grep -q 'MASS STORAGE' ||
  fail "the plugged device did not appear under UDS-A within two seconds"
pass "a plugged device appears (event 1)"

# 3. A removed server loses its node (bus-list event).
ctl remove UDS-C | grep -q OK || fail "vx-uds could not remove UDS-C"
wait_no_line '^UDS-C - ' 20 || fail "UDS-C's node stayed"
pass "a removed server loses its node (event 2)"

# 4. A server that reboots comes back with its devices.
ctl reboot UDS-B 3 | grep -q OK || fail "vx-uds could not reboot UDS-B"
wait_line '^  MFP - Mfx - All 5' 40 || fail "UDS-B did not come back with its device"
pass "a rebooted server comes back with its devices"

# 5. A server whose address changes is shown at its new address.
ctl set-ip UDS-A 10.77.0.27 | grep -q OK || fail "vx-uds could not move UDS-A"
wait_line '^UDS-A - 10.77.0.27$' 40 || fail "UDS-A not shown at its new address"
wait_no_line '^UDS-A - 10.77.0.21$' 20 || fail "UDS-A's old node stayed"
wait_line '^  SCANNER - Optix - Scan 3$' 20 || fail "UDS-A's devices did not come back"
pass "a server at a new address is shown there"

# 6. This PC's own address changes: the sockets are rebuilt on port 7419, the
#    servers are found again and the selected device is selected again.
vx_auto tree-click --class TMainFm --id 120 --node 'UDS-A - *' --node 'SCANNER - *' >/dev/null ||
  fail "cannot click UDS-A's scanner"
vx_auto wait --class TMainFm --id 120 --tree-text '*' --timeout 5000 >/dev/null
selected() { vx_auto tree --class TMainFm --id 120 | jq -r '.items[] | select(.selected) | .path | join(" / ")'; }
before=$(selected)
[[ "$before" == "UDS-A - 10.77.0.27 / SCANNER - Optix - Scan 3" ]] || fail "selection before: $before"
ip netns exec vxpc1 ip addr add 10.77.0.13/24 dev eth0
wait_for "$run/busd.log" 10 "address" || true
for _ in $(seq 1 100); do
  ip netns exec vxpc1 ss -ulnp 2>/dev/null | grep -q ':7419 ' && break
  sleep 0.1
done
ip netns exec vxpc1 ss -ulnp >"$work/ss.txt" 2>&1 || true
grep -q ':7419 ' "$work/ss.txt" || fail "no discovery socket on port 7419 after the address change: $(cat "$work/ss.txt")"
for _ in $(seq 1 50); do
  after=$(selected)
  [ "$after" = "$before" ] && break
  sleep 0.2
done
[ "$after" = "$before" ] || fail "selection after the address change: '$after'"
wait_line '^UDS-B - 10.77.0.22$' 20 || fail "the servers were not found again"
vx_screenshot tree-after-address-change >/dev/null
pass "address change: sockets on 7419, servers found again, the device selected again"
echo "tree_lab: screenshots in $run/screenshots"
