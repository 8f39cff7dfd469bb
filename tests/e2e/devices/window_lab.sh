#!/usr/bin/env bash
# Lab test of the main window's device commands with two PCs: vessix.exe runs
# under Wine in vxpc1 (VXPC1) and in vxpc2 (VXPC2), each with its own vx-busd.
# PC 1 selects a printer and clicks Connect: its tree shows the device held by
# VXPC1 and Disconnect becomes available; PC 2's tree shows VXPC1 as the
# holder with the manual label; the server records VXPC1 with lock type 2.
# Disconnect frees it. Storage on a server in server mode is refused with
# the program's message. Then PC 1 holds three devices and is ended through
# System > Exit, answering its question: once the process has ended the
# server lists no holder (nothing but that PC releases them: the locks last
# an hour and the emulator keeps its links to the server).
# Run it under `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab,
# Wine or the Windows build is missing.
#   window_lab.sh VX-UDS VX-BUSD
# Prints the click-to-refreshed-tree time of a connect (a figure, not a
# verdict). Screenshots in $VX_BINARY_DIR/e2e-devices-window/pcN/screenshots.
set -euo pipefail
uds=$1 busd=$2
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
exe=${VX_VESSIX_EXE:-$src/build/windows/src/app/win32/vessix.exe}
auto_exe=${VX_AUTO_EXE:-$src/build/windows/tests/automation/vx-auto.exe}
name=window_lab
# shellcheck source=../lib/window_steps.sh
. "$src/tests/e2e/lib/window_steps.sh"
vx_window_checks

vx_window_lab_up "$bin/e2e-devices-window"

cat >"$run/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "software_bus": 1, "storage_mode": 1,
   "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"},
    {"device_no": 2, "vid": "04A9", "pid": "1905", "class": "SCANNER", "manufacturer": "Optix",
     "product": "Scan 3", "serial": "SN-A2"},
    {"device_no": 3, "vid": "0781", "pid": "5567", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Stick", "serial": "SN-A3"}]},
  {"name": "UDS-B", "mac": "00:80:92:00:00:22", "ip": "10.77.0.22", "software_bus": 1, "storage_mode": 0,
   "devices": [
    {"device_no": 1, "vid": "0781", "pid": "5568", "class": "MASS STORAGE", "manufacturer": "Disk",
     "product": "Vault", "serial": "SN-B1"}]}
]}
JSON
vx_window_uds 7702
# The server's record of one device: "owner lock_type".
held() { ctl devices UDS-A | sed 's/^OK //' | jq -r --argjson n "$2" '.[] | select(.device_no == $n) | "\(.owner) \(.lock_type)"'; }

vx_pcs_init "$run" "$busd" "$exe" "$auto_exe"
for n in 1 2; do
  vx_pc_busd "$n" || fail "vx-busd of PC $n"
  vx_pc_wine "$n" || fail "Wine of PC $n"
done
for n in 1 2; do vx_pc_start "$n" || fail "vessix.exe on PC $n"; done

# Presses Connect and waits until the tree shows DEVICE held by VXPC1; prints
# the time from the click to the refreshed tree. The helper's press returns
# only once the program has handled it (or after 1.5 s), so it runs beside
# the wait; the click happens after the helper has started and read the tool
# bar, which a run that only reads the tool bar bounds ($noop ms).
connect_timed() {
  local t0 t1 p
  t0=$(date +%s%N)
  vx_auto press --class TMainFm --button 接続 --wm-command >/dev/null &
  p=$!
  vx_auto wait --class TMainFm --id 120 --tree-text "$1 [ 手動接続： VXPC1 ]" --timeout 15000 --interval 20 \
    >/dev/null || fail "PC 1's tree does not show $1 held by VXPC1"
  t1=$(date +%s%N)
  wait "$p" || fail "cannot press Connect"
  local ms=$(((t1 - t0) / 1000000))
  echo "$name: click to refreshed tree (connect $1): $((ms - noop))..$ms ms (settle wait 2000 ms)"
}
message_box() {  # TEXT-PATTERN: the message box with that text is shown; prints its window
  vx_auto control --class '#32770' --control-class Static --text "$1" --timeout 10000
}
answer() {  # BUTTON-PATTERN...: clicks the first matching button of the message box
  local b
  for b in "$@"; do
    vx_auto click --class '#32770' --control-class Button --text "$b" --timeout 2000 >/dev/null 2>&1 && return 0
  done
  return 1
}

printer='PRINTER - Acme - Laser 9'
held1="$printer \\[ 手動接続： VXPC1 \\]"
for n in 1 2; do
  vx_pc "$n"
  wait_line "^  $printer\$" 90 || fail "PC $n's tree never listed the printer"
  wait_line '^  MASS STORAGE - Disk - Vault$' 30 || fail "PC $n's tree never listed UDS-B's storage"
done
pass "both PCs list the servers' devices"

# 1. PC 1 connects the printer: its tree shows it held by this PC.
vx_pc 1
select_device 'UDS-A - *' "$printer" "on off off"
t=$(date +%s%N)
vx_auto toolbar --class TMainFm >/dev/null
noop=$((($(date +%s%N) - t) / 1000000))
connect_timed "$printer"
for _ in $(seq 1 20); do [ "$(commands)" = "off on off" ] && break; sleep 0.25; done
[ "$(commands)" = "off on off" ] || fail "after the connect PC 1 offers '$(commands)', not Disconnect alone"
[ "$(held 1 1)" = "VXPC1 2" ] || fail "the server records '$(held 1 1)' for the printer, not 'VXPC1 2'"
vx_screenshot pc1-connected >/dev/null
pass "PC 1 connected the printer: held by VXPC1 with lock type 2, Disconnect available"

# 2. PC 2 sees PC 1 as the holder with the manual label, and may ask for it.
vx_pc 2
wait_line "^  $held1\$" 20 || fail "PC 2's tree does not show VXPC1 holding the printer"
select_device 'UDS-A - *' "$printer*" "on off on"
vx_screenshot pc2-sees-holder >/dev/null
pass "PC 2 shows VXPC1 as the holder (manual), Connect and Request available"

# 3. PC 1 disconnects: free again on both PCs and at the server.
vx_pc 1
select_device 'UDS-A - *' "$printer*" "off on off"
press 切断
wait_line "^  $printer\$" 15 || fail "PC 1's tree still shows the printer held"
[ "$(held 1 1)" = " 0" ] || fail "the server still records '$(held 1 1)' for the printer"
vx_pc 2
wait_line "^  $printer\$" 20 || fail "PC 2's tree still shows the printer held"
pass "Disconnect frees the printer on both PCs and at the server"

# 4. Storage on a server that shares it itself (server mode) is refused.
vx_pc 1
select_device 'UDS-B - *' 'MASS STORAGE - Disk - Vault' "on off off"
press 接続
message_box 'Can not connect because the storage access mode is currently in Server mode, not Orvolink mode.' \
  >"$work/box.json" || fail "no server-mode message"
vx_auto window --class '#32770' --title Vessix --timeout 2000 >/dev/null || fail "the message is not captioned Vessix"
vx_screenshot pc1-server-mode >/dev/null
answer OK '&OK' || fail "cannot close the message"
[ "$(ctl devices UDS-B | sed 's/^OK //' | jq -r '.[0].owner')" = "" ] || fail "the storage was taken"
for _ in $(seq 1 20); do [ "$(commands)" = "on off off" ] && break; sleep 0.25; done
[ "$(commands)" = "on off off" ] || fail "Connect did not come back after the refusal: $(commands)"
pass "storage in server mode refused with the message; Connect available again"

# 5. PC 1 holds three devices and ends through System > Exit.
for dev in "$printer" 'SCANNER - Optix - Scan 3' 'MASS STORAGE - Disk - Stick'; do
  select_device 'UDS-A - *' "$dev" "on off off"
  connect_timed "$dev"
done
for n in 1 2 3; do [ "$(held 1 $n)" = "VXPC1 2" ] || fail "device $n at the server: '$(held 1 $n)'"; done
vx_screenshot pc1-holds-three >/dev/null
vx_auto menu-click --class TMainFm --item 'システム (S)' --item '終了' >/dev/null || fail "no System > Exit"
message_box '接続中のデバイスがあります。終了すると切断されますが、よろしいですか？' >/dev/null ||
  fail "Exit did not ask about the held devices"
vx_screenshot pc1-exit-question >/dev/null
answer '&Yes' 'はい*' '*Y*' || fail "cannot answer the question"
vx_pc_wait_gone 1 60 || fail "vessix.exe on PC 1 did not end"
for n in 1 2 3; do
  [ "$(held 1 $n)" = " 0" ] || fail "device $n still held after the exit: '$(held 1 $n)'"
done
vx_pc 2
wait_line "^  $printer\$" 20 || fail "PC 2 still shows the printer held"
vx_screenshot pc2-after-pc1-exit >/dev/null
pass "Exit asked, and the close sequence released all three devices"
echo "$name: screenshots in $run/pc1/screenshots and $run/pc2/screenshots"
