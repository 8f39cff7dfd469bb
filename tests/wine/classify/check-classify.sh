#!/usr/bin/env bash
# `vessix-cli.exe classify --vid --pid --serial` under Wine: device registry
# fixtures and an auto-connect entry are imported into the test prefix with
# Wine's regedit, classified from the real (Wine) registry, and removed again
# at the end.
# Usage: check-classify.sh BUILD_DIR VESSIX_CLI_EXE TESTDATA_DIR
# Needs the wine_env fixture.
set -euo pipefail
build=$(cd "$1" && pwd)
cli=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
testdata=$(cd "$3" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../wine-run.sh"
export VX_BINARY_DIR="$build"
work=$(mktemp -d)
fixtures=(composite_printer_scanner_storage.reg dot4_multifunction_fax.reg)
# Every key a fixture wrote, deleted again with its subkeys; under Enum the
# whole hardware-id key (Enum\<enumerator>\<hardware id>), which the import
# created as well.
cleanup() {
  {
    echo REGEDIT4
    for f in "${fixtures[@]}"; do
      tr -d '\r' <"$testdata/$f" | sed -n 's/^\[\(.*\)\]$/\1/p' |
        awk -F'\\' '$4 == "Enum" && NF > 6 { NF = 6; OFS = "\\"; $1 = $1 } { print "\n[-" $0 "]" }' | sort -u
    done
    echo
    echo "[-$entry]"
  } >"$work/remove.reg"
  "$run" regedit /S "Z:$work/remove.reg" || true
  rm -rf "$work"
}
# The composite device's printer and fax on one server, for this user.
entry='HKEY_CURRENT_USER\Software\Marvex\VUV Eruruz Odozid\Auto-Connect\MAC_00:80:92:10:00:21&Vid_2C1E&Pid_0230&SNo_X3JK004512'
{
  printf 'REGEDIT4\n\n[%s]\n' "$entry"
  printf '"%s"="%s"\n' ServerIP 10.77.0.21 ServerMAC 00:80:92:10:00:21 DeviceVid 2C1E DevicePid 0230 \
    DeviceSNo X3JK004512 PrinterEnable 1 PrinterName "Orvane MF-640 Series" PrinterPort USB002 FaxEnable 1 \
    FaxName "Orvane MF-640 Fax" FaxPort USB003
} >"$work/autoconnect.reg"
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

for f in "${fixtures[@]}"; do
  "$run" regedit /S "Z:$testdata/$f" || { echo "FAIL: regedit /S $f" >&2; exit 1; }
done
"$run" regedit /S "Z:$work/autoconnect.reg" || { echo "FAIL: regedit /S autoconnect.reg" >&2; exit 1; }

# classify ARGS...: sets rc and leaves the JSON in out.json.
classify() {
  set +e
  "$run" "$cli" classify "$@" --json 2>"$work/err.txt" | tr -d '\r' >"$work/out.json"
  rc=${PIPESTATUS[0]}
  set -e
}
field() { jq -r "$1" "$work/out.json"; }

classify --vid 2C1E --pid 0230 --serial X3JK004512
[ $rc -eq 0 ] && ok "composite: exit 0" || fail "composite rc=$rc: $(cat "$work/err.txt")"
[ "$(field .USBClass)" = 1068 ] && ok "composite: USBClass 1068" || fail "composite: $(cat "$work/out.json")"
[ "$(field '.functions | join(",")')" = USBCLASS_PRINTER,USBCLASS_STORAGE,USBCLASS_SCANNER,USBCLASS_COMPOSITE ] &&
  ok "composite: functions" || fail "composite functions: $(field .functions)"
[ "$(field .PrinterName)/$(field .PrinterPort)" = "Orvane MF-640 Series/USB002" ] &&
  ok "composite: print queue" || fail "composite queue: $(cat "$work/out.json")"
[ "$(field .ScanNameWIA)/$(field .ScanNameTwain)/$(field .ScanDeviceID)" = \
  'Orvane MF-640 Scanner/Orvane MF-640 TWAIN/{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\0000' ] &&
  ok "composite: scanner entries" || fail "composite scanner: $(cat "$work/out.json")"
[ "$(jq -r 'keys_unsorted | join(",")' "$work/out.json")" = \
  USBClass,functions,DeviceIDStr,PrinterName,PrinterPort,FaxName,FaxPort,ScanNameWIA,ScanNameTwain,ScanDeviceID,autoconnect ] &&
  ok "the keys in order" || fail "keys: $(jq -c keys_unsorted "$work/out.json")"
[ "$(field '.autoconnect | map(select(.server_mac == "00:80:92:10:00:21") | "\(.kind) \(.queue) \(.port)") | join(",")')" = \
  "Printer Orvane MF-640 Series USB002,Fax Orvane MF-640 Fax USB003" ] &&
  ok "composite: its auto-connect elements" || fail "auto-connect: $(jq -c .autoconnect "$work/out.json")"

classify --vid 1f3a --pid 5511 --serial CN0B1K2C3D
[ $rc -eq 0 ] && ok "DOT4 multifunction: exit 0" || fail "DOT4 rc=$rc: $(cat "$work/err.txt")"
[ "$(field .USBClass)" = 3116 ] && ok "DOT4: USBClass 3116" || fail "DOT4: $(cat "$work/out.json")"
[ "$(field .PrinterName)|$(field .FaxName)|$(field .FaxPort)" = \
  "Talbrin OfficePro 7410 Series|Talbrin OfficePro 7410 Fax|DOT4_002" ] &&
  ok "DOT4: print and fax queues" || fail "DOT4 queues: $(cat "$work/out.json")"
[ "$(field .DeviceIDStr)" = 'SYSTEM\CurrentControlSet\Enum\DOT4USB\VID_1F3A&PID_5511&MI_01&DOT4\7&5c0e3a1&0&1\' ] &&
  ok "DOT4: the DOT4 node" || fail "DOT4 node: $(field .DeviceIDStr)"

classify --vid 2C1E --pid 0230 --serial NOSUCHSERIAL
[ $rc -eq 1 ] && [ "$(field .USBClass)" = 0 ] && ok "unknown serial: exit 1, USBClass 0" ||
  fail "unknown serial rc=$rc: $(cat "$work/out.json")"

# The same file given with --registry gives the same answer without the prefix.
classify --vid 2C1E --pid 0101 --serial ORV3100A77 --registry "Z:$testdata/printer.reg"
[ $rc -eq 0 ] && [ "$(field .PrinterName)" = "Orvane LX-3100 Series" ] && ok "--registry file" ||
  fail "--registry rc=$rc: $(cat "$work/out.json") $(cat "$work/err.txt")"

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
