#!/usr/bin/env bash
# Lab test of the holding side of sharing requests with vessix.exe: PC 1 runs
# vessix.exe under Wine and holds a printer (connected through vessix-cli under
# PC 1's name); PC 2 asks for it with `vessix-cli request`. The reply dialog
# TRequestRecvDlg is read and answered through the automation helper:
# Accept lets the device go and PC 2 connects it; Reject refuses PC 2; a
# request PC 2 withdraws closes the dialog. Run it under
# `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab or the Windows
# build is missing. Screenshots are kept in $VX_BINARY_DIR/e2e-requests/screenshots.
#   requests_lab.sh VX-UDS VX-BUSD VESSIX-CLI
set -euo pipefail
uds=$1 busd=$2 cli=$3
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
exe=${VX_VESSIX_EXE:-$src/build/windows/src/app/win32/vessix.exe}
auto_exe=${VX_AUTO_EXE:-$src/build/windows/tests/automation/vx-auto.exe}
test_name=requests_lab
[ -x "$lab" ] || { echo "$test_name: no lab script: skipped"; exit 77; }
[ -f "$exe" ] || { echo "$test_name: no Windows build of vessix.exe ($exe): skipped"; exit 77; }
[ -f "$auto_exe" ] || { echo "$test_name: no automation helper ($auto_exe): skipped"; exit 77; }
command -v wine >/dev/null || { echo "$test_name: no Wine: skipped"; exit 77; }
command -v jq >/dev/null || { echo "$test_name: no jq: skipped"; exit 77; }

run=$bin/e2e-requests
rm -rf "$run/wine" "$run"/*.log
mkdir -p "$run"
work=$(mktemp -d /tmp/vx-requests-lab.XXXXXX)
# shellcheck source=../busdriver/lab_steps.sh
. "$src/tests/e2e/busdriver/lab_steps.sh"
on_exit+=("VX_WINE_NETNS=vxpc1 '$src/tests/wine/wine-env.sh' stop '$run'")
lab_up

# PC 1's name is the one vessix.exe reads under Wine (the host name in capitals):
# its driver claims under that name, so the program sees the device as its own.
pc1=$(hostname | tr '[:lower:]' '[:upper:]')
cat >"$run/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "model": "MD-LAN01", "software_bus": 1,
   "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"}]}
]}
JSON
ip netns exec vxsrv "$uds" --config "$run/servers.json" --control 7702 >"$run/uds.log" 2>&1 &
pids+=($!)
ip netns exec vxpc1 "$busd" --name "$pc1" --listen 127.0.0.1:7600 >"$run/busd1.log" 2>&1 &
pids+=($!)
ip netns exec vxpc2 "$busd" --name VXPC2 --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
  >"$run/busd2.log" 2>&1 &
pids+=($!)
wait_for "$run/uds.log" 10 ready || fail "vx-uds did not start"
for f in busd1 busd2; do wait_for "$run/$f.log" 10 listening || fail "$f did not start"; done

cli() {  # cli PC ARGS...: vessix-cli inside that PC's namespace
  local pc=$1 name=VXPC2
  shift
  [ "$pc" = 1 ] && name=$pc1
  ip netns exec vxpc$pc env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME="$name" "$cli" "$@"
}
owner_of() {  # the holder of device 1 as PC 2 sees it
  cli 2 servers --json 2>/dev/null | grep '"ip":"10.77.0.21"' | grep -o '{"device_no":1,[^}]*}' |
    grep -o '"owner":"[^"]*"' || true
}

VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" start "$run" >"$run/wine-env.log" 2>&1 || fail "Wine did not start"
. "$src/tests/e2e/lib/auto.sh"
vx_auto_init "$run" "$auto_exe"
VX_BINARY_DIR="$run" VESSIX_BUS_EMULATOR=127.0.0.1:7600 "$src/tests/wine/wine-run.sh" "$exe" \
  >"$run/vessix.log" 2>&1 </dev/null &
pids+=($!)
vx_wait_window TMainFm 60000 || fail "the main window did not appear"
vx_wait_tree TMainFm 2 60000 --id 120 >/dev/null || fail "UDS-A's printer never appeared in the tree"
for i in $(seq 1 30); do [ -n "$(owner_of)" ] && break; sleep 1; done

# Holds the printer under PC 1's name (what vessix.exe's Connect will do).
hold() {
  cli 1 connect 10.77.0.21 1 >"$work/hold.out" 2>&1 || fail "PC 1 cannot connect: $(cat "$work/hold.out")"
  [ "$(owner_of)" = "\"owner\":\"$pc1\"" ] || fail "PC 1 does not hold the printer: $(owner_of)"
}
# Waits for the reply dialog and checks what it shows (the program runs in Japanese).
reply_dialog() {
  vx_auto wait --class TRequestRecvDlg --id 1728 --visible --timeout 30000 >/dev/null ||
    fail "the reply dialog did not appear"
  local caption remote device
  caption=$(vx_auto window --class TRequestRecvDlg | vx_json .text)
  remote=$(vx_auto control --class TRequestRecvDlg --id 1722 | vx_json .text)
  device=$(vx_auto control --class TRequestRecvDlg --id 1726 | vx_json .text)
  [ "$caption" = "切断要求に応答してください。" ] || fail "reply dialog caption: $caption"
  [ "$remote" = "VXPC2 (10.77.0.12)" ] || fail "asker shown: $remote"
  [ "$device" = "PRINTER - Acme - Laser 9" ] || fail "device shown: $device"
}
dialog_hidden() {
  local i
  for i in $(seq 1 50); do
    [ "$(vx_auto window --class TRequestRecvDlg | vx_json .visible)" = false ] && return 0
    sleep 0.2
  done
  return 1
}

# 1. Accept: PC 1 lets the printer go and PC 2 connects it.
hold
cli 2 request 10.77.0.21 1 --wait 60 --json >"$work/accept.out" 2>"$work/accept.err" &
req=$!
pids+=($req)
reply_dialog
vx_screenshot request-reply >/dev/null
vx_auto click --class TRequestRecvDlg --id 1728 >/dev/null || fail "Accept could not be clicked"
dialog_hidden || fail "the reply dialog stayed after Accept"
wait "$req" || fail "PC 2's request: $(cat "$work/accept.out" "$work/accept.err")"
grep -q '"result":"connected","owner":"VXPC2","lock_type":2' "$work/accept.out" ||
  fail "PC 2's request: $(cat "$work/accept.out")"
pass "Accept: PC 1 let the printer go, PC 2 holds it with lock type 2"

# 2. Reject: PC 2 is refused and PC 1 keeps the printer.
cli 2 disconnect 10.77.0.21 1 >/dev/null || fail "PC 2 cannot give the printer back"
hold
rc=0
cli 2 request 10.77.0.21 1 --wait 60 --json >"$work/reject.out" 2>"$work/reject.err" &
req=$!
pids+=($req)
reply_dialog
vx_auto click --class TRequestRecvDlg --id 1729 >/dev/null || fail "Reject could not be clicked"
dialog_hidden || fail "the reply dialog stayed after Reject"
wait "$req" || rc=$?
[ "$rc" = 1 ] && grep -q '"result":"refused"' "$work/reject.out" ||
  fail "PC 2's request after Reject: rc $rc $(cat "$work/reject.out" "$work/reject.err")"
[ "$(owner_of)" = "\"owner\":\"$pc1\"" ] || fail "PC 1 lost the printer: $(owner_of)"
pass "Reject: PC 2 refused, PC 1 keeps the printer"

# 3. A request that PC 2 withdraws (its wait ends) closes the dialog; nothing is answered.
cli 2 request 10.77.0.21 1 --wait 6 --json >"$work/withdraw.out" 2>"$work/withdraw.err" &
req=$!
pids+=($req)
reply_dialog
rc=0
wait "$req" || rc=$?
grep -q '"result":"timeout"' "$work/withdraw.out" || fail "PC 2's request: $(cat "$work/withdraw.out")"
dialog_hidden || fail "the reply dialog stayed after the withdrawal"
[ "$(owner_of)" = "\"owner\":\"$pc1\"" ] || fail "PC 1 lost the printer: $(owner_of)"
pass "withdrawal closes the reply dialog"

echo "$test_name: all passed"
