#!/usr/bin/env bash
# Lab test of sharing requests through both windows: vessix.exe runs under
# Wine in vxpc1 (VXPC1) and in vxpc2 (VXPC2), each with its own vx-busd, and
# every step is a click a user makes, read back through the automation helper.
#  1. PC 1 connects a printer from its tree; PC 2's tree shows VXPC1 as the
#     holder with the manual label and offers Request.
#  2. PC 2 clicks Request: its wait dialog (TRequestDlg) waits with Cancel;
#     PC 1's reply dialog (TRequestRecvDlg) shows the asker, server and device.
#  3. PC 1 accepts: PC 2's dialog says connected (Close), the server records
#     VXPC2 with lock type 2; PC 2 offers Disconnect and PC 1 Connect and
#     Request on the printer that stayed selected.
#  4. PC 2 closes its dialog; PC 1 asks for the printer back and PC 2 rejects:
#     PC 1's dialog says refused, and once closed PC 1 may ask again; the
#     server still records VXPC2.
#  5. PC 2 gives it back (Disconnect), PC 1 connects it again; PC 2 asks and
#     withdraws with Cancel: PC 1's reply dialog closes unanswered.
#  6. PC 2 asks again, PC 1 rejects: PC 2's dialog says refused, and once
#     closed PC 2 may ask again; the server still records VXPC1.
#  7. Both programs end through System > Exit (PC 1 answers the question about
#     its held device): the server records no holder.
# The program runs in Japanese (its language rule), so the texts are the
# Japanese ones. Run it under `flock /tmp/vx-lab.lock` (ctest does). Exit 77
# when the lab, Wine or the Windows build is missing.
#   two_pc_window_lab.sh VX-UDS VX-BUSD VESSIX-CLI
# Screenshots in $VX_BINARY_DIR/e2e-requests-two-pc/pcN/screenshots.
set -euo pipefail
uds=$1 busd=$2 cli=$3
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
bin=${VX_BINARY_DIR:-$(cd "$(dirname "$busd")/../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
exe=${VX_VESSIX_EXE:-$src/build/windows/src/app/win32/vessix.exe}
auto_exe=${VX_AUTO_EXE:-$src/build/windows/tests/automation/vx-auto.exe}
name=two_pc_window_lab
# shellcheck source=../lib/window_steps.sh
. "$src/tests/e2e/lib/window_steps.sh"
vx_window_checks

vx_window_lab_up "$bin/e2e-requests-two-pc"
export VX_CLI=$cli

cat >"$run/servers.json" <<'JSON'
{"interface": "eth0", "announce_interval": 2, "servers": [
  {"name": "UDS-A", "mac": "00:80:92:00:00:21", "ip": "10.77.0.21", "software_bus": 1,
   "devices": [
    {"device_no": 1, "vid": "04B8", "pid": "0E03", "class": "PRINTER", "manufacturer": "Acme",
     "product": "Laser 9", "serial": "SN-A1"},
    {"device_no": 2, "vid": "04A9", "pid": "1905", "class": "SCANNER", "manufacturer": "Optix",
     "product": "Scan 3", "serial": "SN-A2"}]}
]}
JSON
vx_window_uds 7702
# The server's record of the printer: "owner lock_type".
held() { ctl devices UDS-A | sed 's/^OK //' | jq -r '.[] | select(.device_no == 1) | "\(.owner) \(.lock_type)"'; }
# The printer's holder as vessix-cli in PC N lists it (what the PCs read from the server).
cli_owner() {
  vx_pc_cli "$1" servers --json 2>/dev/null |
    jq -r '.. | objects | select(.ip? == "10.77.0.21") | .devices[]? | select(.device_no == 1) | .owner' || true
}
cli_sees() {  # N OWNER: vessix-cli in PC N comes to list OWNER as the printer's holder
  local i
  for ((i = 0; i < 40; i++)); do
    [ "$(cli_owner "$1")" = "$2" ] && return 0
    sleep 0.25
  done
  fail "vessix-cli in PC $1 lists '$(cli_owner "$1")' as the holder, not '$2'"
}

vx_pcs_init "$run" "$busd" "$exe" "$auto_exe"
for n in 1 2; do
  vx_pc_busd "$n" || fail "vx-busd of PC $n"
  vx_pc_wine "$n" || fail "Wine of PC $n"
done
for n in 1 2; do vx_pc_start "$n" || fail "vessix.exe on PC $n"; done

text_of() {  # CLASS ID: a control's text
  vx_auto control --class "$1" --id "$2" | vx_json .text
}
shown() {  # CLASS ID: the control is visible (true/false)
  vx_auto control --class "$1" --id "$2" | vx_json .visible
}
# The wait dialog of the current PC is in the state whose title control is
# TITLE-ID and shows TEXT there.
wait_dialog_state() {  # TITLE-ID TEXT
  vx_auto wait --class TRequestDlg --id "$1" --visible --timeout 30000 >/dev/null ||
    fail "the wait dialog never showed control $1"
  [ "$(text_of TRequestDlg "$1")" = "$2" ] || fail "the wait dialog's title: '$(text_of TRequestDlg "$1")', not '$2'"
}
# The current PC's wait dialog shows HOLDER, the server and the device.
wait_dialog_shows() {  # HOLDER
  [ "$(text_of TRequestDlg 1704)" = "$1" ] || fail "the wait dialog's holder: '$(text_of TRequestDlg 1704)'"
  [ "$(text_of TRequestDlg 1706)" = "$server" ] || fail "the wait dialog's server: '$(text_of TRequestDlg 1706)'"
  [ "$(text_of TRequestDlg 1708)" = "$printer" ] || fail "the wait dialog's device: '$(text_of TRequestDlg 1708)'"
}
# The current PC's reply dialog appears and shows ASKER, the server and the device.
reply_dialog() {  # ASKER
  vx_auto wait --class TRequestRecvDlg --id 1728 --visible --timeout 30000 >/dev/null ||
    fail "the reply dialog did not appear"
  [ "$(vx_auto window --class TRequestRecvDlg | vx_json .text)" = "切断要求に応答してください。" ] ||
    fail "the reply dialog's caption: $(vx_auto window --class TRequestRecvDlg | vx_json .text)"
  [ "$(text_of TRequestRecvDlg 1722)" = "$1" ] || fail "the asker shown: '$(text_of TRequestRecvDlg 1722)', not '$1'"
  [ "$(text_of TRequestRecvDlg 1724)" = "$server" ] || fail "the server shown: '$(text_of TRequestRecvDlg 1724)'"
  [ "$(text_of TRequestRecvDlg 1726)" = "$printer" ] || fail "the device shown: '$(text_of TRequestRecvDlg 1726)'"
}
hidden() {  # CLASS ID: the dialog of the current PC is hidden (so is its control ID)
  vx_auto wait --class "$1" --id "$2" --hidden --timeout 10000 >/dev/null
}
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }

printer='PRINTER - Acme - Laser 9'
for n in 1 2; do
  vx_pc "$n"
  wait_line "^  $printer\$" 90 || fail "PC $n's tree never listed the printer"
done
server=$(tree | grep -m1 '^UDS-A - ') || fail "no UDS-A line in the tree"
pass "both PCs list the printer on '$server'"

# 1. PC 1 connects the printer through its window; PC 2 sees it held, may ask.
vx_pc 1
select_device 'UDS-A - *' "$printer" "on off off"
press 接続
wait_line "^  $printer \\[ 手動接続： VXPC1 \\]\$" 15 || fail "PC 1's tree does not show the printer held by VXPC1"
wait_commands "off on off" "PC 1 after the connect"
[ "$(held)" = "VXPC1 2" ] || fail "the server records '$(held)' for the printer, not 'VXPC1 2'"
cli_sees 2 VXPC1
vx_screenshot 1-connected >/dev/null
vx_pc 2
wait_line "^  $printer \\[ 手動接続： VXPC1 \\]\$" 20 || fail "PC 2's tree does not show VXPC1 holding the printer"
select_device 'UDS-A - *' "$printer*" "on off on"
vx_screenshot 1-sees-holder >/dev/null
pass "PC 1 connected the printer (VXPC1, lock type 2); PC 2 shows the holder and offers Request"

# 2. PC 2 asks for it: its wait dialog waits, PC 1's reply dialog shows the asker.
press 'USBデバイス*の切断要求'
wait_dialog_state 1700 "USBデバイスの切断を要求します。"
[ "$(vx_auto window --class TRequestDlg | vx_json .text)" = "応答をお待ちください…" ] ||
  fail "the wait dialog's caption: $(vx_auto window --class TRequestDlg | vx_json .text)"
[ "$(shown TRequestDlg 1712)" = true ] && [ "$(shown TRequestDlg 1713)" = false ] ||
  fail "while waiting the wait dialog does not show Cancel alone"
wait_dialog_shows VXPC1
wait_commands "on off off" "PC 2 while its request waits (no second request)"
vx_screenshot 2-waiting >/dev/null
vx_pc 1
reply_dialog "VXPC2 (10.77.0.12)"
vx_screenshot 2-reply >/dev/null
pass "PC 2's request waits; PC 1's reply dialog shows VXPC2 (10.77.0.12), the server and the printer"

# 3. PC 1 accepts: PC 2 connects the printer and says so.
t0=$(date +%s%N)
vx_auto click --class TRequestRecvDlg --id 1728 >/dev/null || fail "Accept could not be clicked"
hidden TRequestRecvDlg 1728 || fail "PC 1's reply dialog stayed after Accept"
vx_pc 2
wait_dialog_state 1701 "正常に接続できました。"
echo "$name: Accept to 'connected' on the asking PC: $(ms_since "$t0") ms (polling every 2000 ms)"
[ "$(vx_auto window --class TRequestDlg | vx_json .text)" = "応答がありました。" ] ||
  fail "the answered dialog's caption: $(vx_auto window --class TRequestDlg | vx_json .text)"
[ "$(shown TRequestDlg 1713)" = true ] && [ "$(shown TRequestDlg 1712)" = false ] ||
  fail "the connected dialog does not show Close alone"
[ "$(shown TRequestDlg 1700)" = false ] || fail "the waiting title still shows"
[ "$(held)" = "VXPC2 2" ] || fail "the server records '$(held)' for the printer, not 'VXPC2 2'"
cli_sees 1 VXPC2
wait_line "^  $printer \\[ 手動接続： VXPC2 \\]\$" 15 || fail "PC 2's tree does not show the printer held by VXPC2"
wait_commands "off on off" "PC 2 once connected (the printer still selected)"
vx_screenshot 3-connected >/dev/null
vx_pc 1
wait_line "^  $printer \\[ 手動接続： VXPC2 \\]\$" 20 || fail "PC 1's tree does not show VXPC2 holding the printer"
wait_commands "on off on" "PC 1 after letting the printer go (still selected)"
vx_screenshot 3-let-go >/dev/null
pass "Accept: PC 2's dialog says connected, the server records VXPC2 with lock type 2"

# 4. PC 2 closes its dialog (Disconnect offered); PC 1 asks for the printer back; PC 2 rejects.
vx_pc 2
vx_auto click --class TRequestDlg --id 1713 >/dev/null || fail "PC 2's Close could not be clicked"
hidden TRequestDlg 1713 || fail "PC 2's wait dialog stayed after Close"
select_device 'UDS-A - *' "$printer*" "off on off"
vx_pc 1
select_device 'UDS-A - *' "$printer*" "on off on"
press 'USBデバイス*の切断要求'
wait_dialog_state 1700 "USBデバイスの切断を要求します。"
wait_dialog_shows VXPC2
vx_pc 2
reply_dialog "VXPC1 (10.77.0.11)"
vx_screenshot 4-reply >/dev/null
t0=$(date +%s%N)
vx_auto click --class TRequestRecvDlg --id 1729 >/dev/null || fail "Reject could not be clicked"
hidden TRequestRecvDlg 1728 || fail "PC 2's reply dialog stayed after Reject"
vx_pc 1
wait_dialog_state 1702 "切断要求は拒否されました。"
echo "$name: Reject to 'refused' on the asking PC: $(ms_since "$t0") ms (shown 1000 ms after the refusal)"
[ "$(shown TRequestDlg 1713)" = true ] && [ "$(shown TRequestDlg 1712)" = false ] ||
  fail "the refused dialog does not show Close alone"
[ "$(shown TRequestDlg 1701)" = false ] || fail "the connected title shows with the refusal"
vx_screenshot 4-refused >/dev/null
vx_auto click --class TRequestDlg --id 1713 >/dev/null || fail "PC 1's Close could not be clicked"
hidden TRequestDlg 1713 || fail "PC 1's wait dialog stayed after Close"
wait_commands "on off on" "PC 1 after the refusal"
[ "$(held)" = "VXPC2 2" ] || fail "after the refusal the server records '$(held)', not 'VXPC2 2'"
vx_pc 2
wait_line "^  $printer \\[ 手動接続： VXPC2 \\]\$" 5 || fail "PC 2 no longer shows the printer as its own"
vx_pc 1
vx_screenshot 4-request-again >/dev/null
pass "Reject: PC 1's dialog says refused, Request available again, VXPC2 keeps the printer"

# 5. PC 2 gives the printer back with Disconnect and PC 1 connects it again;
#    PC 2 asks and withdraws with Cancel: PC 1's reply dialog closes unanswered.
vx_pc 2
select_device 'UDS-A - *' "$printer*" "off on off"
press 切断
wait_line "^  $printer\$" 15 || fail "PC 2's tree still shows the printer held"
[ "$(held)" = " 0" ] || fail "after PC 2's Disconnect the server records '$(held)'"
vx_pc 1
wait_line "^  $printer\$" 20 || fail "PC 1's tree still shows the printer held"
select_device 'UDS-A - *' "$printer" "on off off"
press 接続
wait_line "^  $printer \\[ 手動接続： VXPC1 \\]\$" 15 || fail "PC 1's tree does not show the printer held again"
[ "$(held)" = "VXPC1 2" ] || fail "the server records '$(held)', not 'VXPC1 2'"
vx_pc 2
wait_line "^  $printer \\[ 手動接続： VXPC1 \\]\$" 20 || fail "PC 2's tree does not show VXPC1 holding the printer again"
select_device 'UDS-A - *' "$printer*" "on off on"
press 'USBデバイス*の切断要求'
wait_dialog_state 1700 "USBデバイスの切断を要求します。"
vx_pc 1
reply_dialog "VXPC2 (10.77.0.12)"
vx_pc 2
vx_auto click --class TRequestDlg --id 1712 >/dev/null || fail "PC 2's Cancel could not be clicked"
hidden TRequestDlg 1712 || fail "PC 2's wait dialog stayed after Cancel"
# Closing after a withdrawal decides the commands again: PC 2 may ask once more.
wait_commands "on off on" "PC 2 after the withdrawal"
vx_pc 1
hidden TRequestRecvDlg 1728 || fail "PC 1's reply dialog stayed after PC 2 withdrew"
[ "$(held)" = "VXPC1 2" ] || fail "after the withdrawal the server records '$(held)', not 'VXPC1 2'"
vx_screenshot 5-withdrawn >/dev/null
pass "Disconnect and Connect again; Cancel withdraws PC 2's request and closes PC 1's reply dialog"

# 6. PC 2 asks again and PC 1 rejects: PC 2's dialog says refused, and once
#    closed PC 2 may ask again.
vx_pc 2
select_device 'UDS-A - *' "$printer*" "on off on"
press 'USBデバイス*の切断要求'
wait_dialog_state 1700 "USBデバイスの切断を要求します。"
vx_pc 1
reply_dialog "VXPC2 (10.77.0.12)"
vx_auto click --class TRequestRecvDlg --id 1729 >/dev/null || fail "Reject could not be clicked"
hidden TRequestRecvDlg 1728 || fail "PC 1's reply dialog stayed after Reject"
vx_pc 2
wait_dialog_state 1702 "切断要求は拒否されました。"
vx_screenshot 6-refused >/dev/null
vx_auto click --class TRequestDlg --id 1713 >/dev/null || fail "PC 2's Close could not be clicked"
hidden TRequestDlg 1713 || fail "PC 2's wait dialog stayed after Close"
wait_commands "on off on" "PC 2 after the refusal"
[ "$(held)" = "VXPC1 2" ] || fail "after the refusal the server records '$(held)', not 'VXPC1 2'"
vx_screenshot 6-request-again >/dev/null
pass "Reject: PC 2's dialog says refused, Request available again, VXPC1 keeps the printer"

# 7. Both programs end through System > Exit; PC 1 is asked about its device.
exit_pc() {  # N QUESTION(0/1)
  vx_pc "$1"
  vx_auto menu-click --class TMainFm --item 'システム (S)' --item '終了' >/dev/null || fail "no System > Exit on PC $1"
  if [ "$2" = 1 ]; then
    vx_auto control --class '#32770' --control-class Static \
      --text '接続中のデバイスがあります。終了すると切断されますが、よろしいですか？' --timeout 10000 >/dev/null ||
      fail "PC $1's Exit did not ask about the held device"
    vx_screenshot 7-exit-question >/dev/null
    local b
    for b in '&Yes' 'はい*' '*Y*'; do
      vx_auto click --class '#32770' --control-class Button --text "$b" --timeout 2000 >/dev/null 2>&1 && break
    done
  fi
  vx_pc_wait_gone "$1" 60 || fail "vessix.exe on PC $1 did not end"
}
exit_pc 1 1
[ "$(held)" = " 0" ] || fail "the printer is still held after PC 1 ended: '$(held)'"
vx_pc 2
wait_line "^  $printer\$" 20 || fail "PC 2 still shows the printer held"
wait_commands "on off off" "PC 2 once the printer is free (still selected)"
vx_screenshot 7-free >/dev/null
exit_pc 2 0
[ "$(ctl devices UDS-A | sed 's/^OK //' | jq -r '[.[] | select(.owner != "")] | length')" = 0 ] ||
  fail "the server records a holder after both PCs ended"
pass "both programs ended through their close sequence; the server records no holder"
echo "$name: screenshots in $run/pc1/screenshots and $run/pc2/screenshots"
