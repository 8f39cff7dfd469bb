#!/usr/bin/env bash
# Lab test of the lab's Plug and Play. The demo's servers (lab/demo/servers.json)
# run in vxsrv; PC 1's vx-busd runs the claim hook lab/pnp/vx-pnp-hook.sh into
# PC 1's Wine prefix, PC 2's runs none. PC 1 connects the demo's printer and
# scanner (Office-1F) and, once PC 2 lets it go, the multifunction device
# (Office-2F); each connection leaves the keys Windows would create for the
# device in PC 1's prefix, read back with `wine reg query`. The holder's
# second connect, a refused connect and a disconnect write or remove nothing.
# Run it under `flock /tmp/vx-lab.lock` (ctest does). Exit 77 when the lab or
# Wine is missing.
#   pnp_lab.sh VX-BUSD VESSIX-CLI VX-UDS VX-PNP [VESSIX-CLI.EXE]
set -euo pipefail
busd=$1 cli=$2 uds=$3 pnp=$4 cli_exe=${5:-}
here=$(cd "$(dirname "$0")" && pwd)
src=${VX_SOURCE_DIR:-$(cd "$here/../../.." && pwd)}
lab=$src/lab/net/vx-lab.sh
[ -x "$lab" ] || { echo "pnp_lab: no lab script ($lab): skipped"; exit 77; }
command -v wine >/dev/null || { echo "pnp_lab: no Wine: skipped"; exit 77; }

work=$(mktemp -d /tmp/vx-pnp-lab.XXXXXX)
wb=$work/wine-build
test_name=pnp_lab
# shellcheck source=../busdriver/lab_steps.sh
. "$src/tests/e2e/busdriver/lab_steps.sh"
lab_up

ip netns exec vxsrv "$uds" --config "$src/lab/demo/servers.json" --control 7702 >"$work/uds.log" 2>&1 &
pids+=($!)
wait_for "$work/uds.log" 10 ready || fail "vx-uds did not start"

# PC 1's Wine: its prefix and wineserver live inside vxpc1.
mkdir -p "$wb"
on_exit+=("VX_WINE_NETNS=vxpc1 '$src/tests/wine/wine-env.sh' stop '$wb'")
VX_WINE_NETNS=vxpc1 "$src/tests/wine/wine-env.sh" start "$wb" >"$work/wine.log" 2>&1 || fail "Wine did not start"
# shellcheck disable=SC1091
. "$wb/wine/env"

hook="$src/lab/pnp/vx-pnp-hook.sh --wine-env $wb/wine/env --pnp $pnp"
ip netns exec vxpc1 "$busd" --name VXPC1 --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
  --on-claim "$hook" >"$work/busd1.log" 2>&1 &
pids+=($!)
ip netns exec vxpc2 "$busd" --name VXPC2 --listen 127.0.0.1:7600 --discover --discover-interval 1000 \
  >"$work/busd2.log" 2>&1 &
pids+=($!)
for f in busd1 busd2; do wait_for "$work/$f.log" 10 listening || fail "$f did not start"; done

cli() {  # cli PC ARGS...: vessix-cli inside that PC's namespace
  local pc=$1
  shift
  ip netns exec vxpc$pc env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME=VXPC$pc "$cli" "$@"
}
listed() {  # listed PC IP: the server's devices are known to that PC
  cli "$1" servers --json 2>/dev/null | grep -q "\"ip\":\"$2\".*\"device_no\""
}
for i in $(seq 1 60); do
  listed 1 10.77.0.21 && listed 1 10.77.0.22 && listed 2 10.77.0.22 && break
  [ "$i" = 60 ] && fail "the demo's servers are not listed"
  sleep 1
done

# --- Reading PC 1's registry -------------------------------------------------
wreg() {  # wreg ARGS...: `wine reg` in PC 1's prefix, CR-free output
  ip netns exec vxpc1 env WINEPREFIX="$WINEPREFIX" HOME="$HOME" DISPLAY="$DISPLAY" WINEDEBUG=-all \
    wine reg "$@" 2>/dev/null | tr -d '\r'
}
lm='HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet'
value() {  # value KEY NAME: the value's data as `reg query` prints it (multi-strings joined by \0)
  wreg query "$lm\\$1" /v "$2" | N=$2 awk 'BEGIN { FS = "    " } $2 == ENVIRON["N"] { print $4; exit }'
}
subkeys() {  # subkeys KEY: the names of its subkeys, one a line
  wreg query "$lm\\$1" | sed -n "s/^HKEY_LOCAL_MACHINE\\\\SYSTEM\\\\CurrentControlSet\\\\//p" |
    K="$1\\" awk '{ k = ENVIRON["K"] } index($0, k) == 1 { print substr($0, length(k) + 1) }'
}
expect() {  # expect WHAT ACTUAL WANTED
  [ "$2" = "$3" ] || fail "$1: '$2', expected '$3'"
}
hook_runs() {  # hook_runs IP NO: finished hook runs of that device in PC 1
  grep -c "claim hook for $1 device $2 .*: done" "$work/busd1.log" || true
}
wait_hook() {  # wait_hook IP NO COUNT
  for _ in $(seq 1 300); do
    [ "$(hook_runs "$1" "$2")" -ge "$3" ] && return 0
    grep -q "claim hook for $1 device $2 .*failed" "$work/busd1.log" && fail "the hook failed for $1 #$2"
    sleep 0.1
  done
  fail "no hook run $3 for $1 #$2"
}

# --- The classification of a connected device --------------------------------
# What `vessix-cli.exe classify IP NO --json` must conclude in PC 1 about each
# demo device once it is connected (the bits of USBClass and the fields of
# DeviceDriverInfo):
#   10.77.0.21 #1 printer Acme Laser 9 (printer): USBClass 4
#     USBCLASS_PRINTER; PrinterName "Acme Laser 9 Series", PrinterPort its USB port (USBnnn), no fax
#   10.77.0.21 #2 scanner Acme Flatbed 300 (scanner): USBClass 32
#     USBCLASS_SCANNER; ScanNameWIA "Acme Flatbed 300", ScanNameTwain "Vessix Lab Scanner",
#     ScanDeviceID "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\NNNN"
#   10.77.0.22 #1 multifunction Orbit OfficeJet MX (mfp-dot4-fax): USBClass 3116
#     USBCLASS_COMPOSITE, USBCLASS_STORAGE (card reader), USBCLASS_DOT4, USBCLASS_PRINTER,
#     USBCLASS_SCANNER; DeviceIDStr the DOT4USB bridge; PrinterName "Orbit OfficeJet MX Series",
#     FaxName "Orbit OfficeJet MX Fax" (DOT4_nnn ports), ScanNameWIA "Orbit OfficeJet MX Scanner",
#     ScanNameTwain "Orbit OfficeJet MX TWAIN"
# The names are not written out below: they are predicted from the device in
# the demo's JSON (its profile, manufacturer, product and overrides, named as
# vx-pnp names them) and from what its profile's template creates (a print
# queue named {{queue}}, a fax queue named {{fax_queue}}, a still-image
# device named {{scanner_name}}, a TWAIN data source {{twain_ds}}); a name the
# template does not create must be empty. Each port is the one its queue has
# in PC 1's registry.
demo=$src/lab/demo/servers.json
templates=$src/lab/pnp/templates
pnp_names() {  # pnp_names IP NO: the device's profile and the names vx-pnp derives for it (JSON)
  jq -c --arg ip "$1" --argjson no "$2" '
    .servers[] | select(.ip == $ip) | .devices[] | select(.device_no == $no) |
    (if (.pnp | type) == "object" then .pnp else {profile: .pnp} end) as $o |
    ($o.model // ([.manufacturer, .product] | map(select(. != null and . != "")) | join(" "))) as $m |
    ($o.driver // "\($m) Series") as $driver | ($o.fax_driver // "\($m) Fax") as $fax_driver |
    {profile: $o.profile, queue: ($o.queue // $driver), fax_queue: ($o.fax_queue // $fax_driver),
     scanner_name: ($o.scanner_name // (if $o.profile == "scanner" then $m else "\($m) Scanner" end)),
     twain_ds: ($o.twain_ds // "\($m) TWAIN")}' "$demo"
}
predicted() {  # predicted IP NO FIELD: the value classify must give for FIELD
  local names tmpl marker name
  names=$(pnp_names "$1" "$2")
  [ -n "$names" ] || fail "no device $1 #$2 in $demo"
  tmpl=$templates/$(jq -r .profile <<<"$names").reg
  [ -f "$tmpl" ] || fail "no template $tmpl"
  case $3 in
    PrinterName) marker='Control\Print\Printers\{{queue}}]' name=queue ;;
    FaxName) marker='Control\Print\Printers\{{fax_queue}}]' name=fax_queue ;;
    ScanNameWIA) marker='"SubClass"="StillImage"' name=scanner_name ;;
    ScanNameTwain) marker='"TwainDS"="{{twain_ds}}"' name=twain_ds ;;
  esac
  if grep -qF "$marker" "$tmpl"; then jq -r ".$name" <<<"$names"; fi
}
# classify_check IP NO AUTOCONNECT FUNCTION...: the classification of a
# connected device; AUTOCONNECT the auto-connect elements it must list, each
# "KIND MAC QUEUE" and ";" between them (empty: none).
classify_check() {
  local ip=$1 no=$2 autoconnect=$3
  shift 3
  if [ ! -f "$cli_exe" ] ||
    ! VX_BINARY_DIR="$wb" "$src/tests/wine/wine-run.sh" "$cli_exe" classify --help >/dev/null 2>&1; then
    echo "pnp_lab: classification of $ip #$no not checked: no vessix-cli.exe with classify"
    return 0
  fi
  local out f want port
  out=$(VX_BINARY_DIR="$wb" VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME=VXPC1 \
    "$src/tests/wine/wine-run.sh" "$cli_exe" classify "$ip" "$no" --json 2>"$work/classify.err" | tr -d '\r') ||
    fail "classify $ip #$no: $out $(cat "$work/classify.err")"
  jq -e . >/dev/null 2>&1 <<<"$out" || fail "classify $ip #$no: not JSON: $out"
  for f in "$@"; do
    jq -e --arg f "$f" '.functions | index($f)' >/dev/null <<<"$out" || fail "classify $ip #$no: no $f in $out"
  done
  for f in PrinterName FaxName ScanNameWIA ScanNameTwain; do
    want=$(predicted "$ip" "$no" "$f")
    expect "classify $ip #$no $f" "$(jq -r ".$f" <<<"$out")" "$want"
  done
  for f in Printer Fax; do
    want=$(jq -r ".${f}Name" <<<"$out")
    [ -n "$want" ] || continue
    port=$(value "Control\\Print\\Printers\\$want" Port)
    [ -n "$port" ] || fail "classify $ip #$no: no queue '$want' in PC 1's registry"
    expect "classify $ip #$no ${f}Port" "$(jq -r ".${f}Port" <<<"$out")" "$port"
  done
  expect "classify $ip #$no auto-connect elements" \
    "$(jq -r '.autoconnect | map("\(.kind) \(.server_mac) \(.queue)") | join(";")' <<<"$out")" "$autoconnect"
  pass "classify $ip #$no: $*; the names the fixtures predict; auto-connect '$autoconnect'"
}
# add_autoconnect IP NO: an auto-connect entry for the printer function of the
# device, in PC 1's store, as the program writes one when a queue is registered.
settings='HKEY_CURRENT_USER\Software\Marvex\VUV Eruruz Odozid'
add_autoconnect() {
  local mac vid pid serial queue
  mac=$(jq -r --arg ip "$1" '.servers[] | select(.ip == $ip) | .mac' "$demo")
  read -r vid pid serial < <(jq -r --arg ip "$1" --argjson no "$2" \
    '.servers[] | select(.ip == $ip) | .devices[] | select(.device_no == $no) | "\(.vid) \(.pid) \(.serial)"' "$demo")
  queue=$(predicted "$1" "$2" PrinterName)
  {
    printf 'REGEDIT4\n\n[%s\\Auto-Connect\\MAC_%s&Vid_%s&Pid_%s&SNo_%s]\n' "$settings" "$mac" "$vid" "$pid" "$serial"
    printf '"%s"="%s"\n' ServerIP "$1" ServerMAC "$mac" DeviceVid "$vid" DevicePid "$pid" DeviceSNo "$serial" \
      PrinterEnable 1 PrinterName "$queue" PrinterPort "$(value "Control\\Print\\Printers\\$queue" Port)"
  } >"$work/autoconnect.reg"
  wreg import "Z:$work/autoconnect.reg" >/dev/null || fail "auto-connect entry not imported"
  echo "$mac"
}

# --- 1. The printer ------------------------------------------------------------
cli 1 connect 10.77.0.21 1 >/dev/null || fail "connect of the printer"
wait_hook 10.77.0.21 1 1
node='Enum\USB\VID_04B8&PID_0E03\LS9-0001'
expect "printer CompatibleIDs" "$(value "$node" CompatibleIDs)" \
  'USB\Class_07&SubClass_01&Prot_02\0USB\Class_07&SubClass_01\0USB\Class_07'
expect "printer HardwareID" "$(value "$node" HardwareID)" 'USB\VID_04B8&PID_0E03&REV_0100\0USB\VID_04B8&PID_0E03'
expect "printer Class" "$(value "$node" Class)" USB
expect "printer Service" "$(value "$node" Service)" usbprint
driver=$(value "$node" Driver)
[ -n "$(wreg query "$lm\\Control\\Class\\$driver")" ] || fail "printer driver key $driver missing"
prefix=$(value "$node" ParentIdPrefix)
[ -n "$prefix" ] || fail "printer ParentIdPrefix missing"
queue='Control\Print\Printers\Acme Laser 9 Series'
expect "printer queue driver" "$(value "$queue" 'Printer Driver')" 'Acme Laser 9 Series'
value "$queue" Port | grep -qx 'USB0[0-9][0-9]' || fail "printer queue port: $(value "$queue" Port)"
child=$(value "$queue\\PnPData" DeviceInstanceId)
case $child in USBPRINT\\*\\"$prefix"*) ;; *) fail "printer queue's instance $child is not a USBPRINT child of $prefix" ;; esac
expect "USBPRINT child class" "$(value "Enum\\$child" Class)" Printer
[ -n "$(value "Enum\\$child" Driver)" ] || fail "USBPRINT child without a driver"
pass "printer: device node, USBPRINT child and queue"
ac_mac=$(add_autoconnect 10.77.0.21 1)
classify_check 10.77.0.21 1 "Printer $ac_mac Acme Laser 9 Series" USBCLASS_PRINTER

# The holder connects it again: the same hold, no new arrival.
cli 1 connect 10.77.0.21 1 >/dev/null || fail "second connect of the printer"

# --- 2. The scanner -------------------------------------------------------------
cli 1 connect 10.77.0.21 2 >/dev/null || fail "connect of the scanner"
wait_hook 10.77.0.21 2 1
expect "hook runs of the printer after the holder's second connect" "$(hook_runs 10.77.0.21 1)" 1
node='Enum\USB\VID_04A9&PID_1912\FB3-7731'
value "$node" CompatibleIDs | grep -q '^USB\\Class_ff&SubClass_ff&Prot_ff\\0' || fail "scanner CompatibleIDs"
expect "scanner Class" "$(value "$node" Class)" Image
expect "scanner Service" "$(value "$node" Service)" usbscan
driver="Control\\Class\\$(value "$node" Driver)"
expect "scanner SubClass" "$(value "$driver" SubClass)" StillImage
expect "scanner DeviceType" "$(value "$driver" DeviceType)" 0x1
expect "scanner FriendlyName" "$(value "$driver" FriendlyName)" 'Acme Flatbed 300'
expect "scanner TwainDS" "$(value "$driver\\DeviceData" TwainDS)" 'Vessix Lab Scanner'
value "$driver" DeviceID | grep -qx '{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\[0-9]\{4\}' ||
  fail "scanner DeviceID: $(value "$driver" DeviceID)"
pass "scanner: still-image device with its WIA and TWAIN names"
classify_check 10.77.0.21 2 "" USBCLASS_SCANNER

# --- 3. The multifunction device, held by PC 2 ----------------------------------
rc=0
cli 1 connect 10.77.0.22 1 >/dev/null 2>&1 || rc=$?
expect "PC 1's connect of PC 2's device" "$rc" 1
cli 2 disconnect 10.77.0.22 1 >/dev/null || fail "PC 2 cannot let the multifunction device go"
cli 1 connect 10.77.0.22 1 >/dev/null || fail "connect of the multifunction device"
wait_hook 10.77.0.22 1 1
expect "hook runs of the multifunction device" "$(hook_runs 10.77.0.22 1)" 1
node='Enum\USB\VID_03F0&PID_5417\MX-55120'
value "$node" CompatibleIDs | grep -q '\\0USB\\COMPOSITE$' || fail "multifunction CompatibleIDs"
expect "multifunction Service" "$(value "$node" Service)" usbccgp
prefix=$(value "$node" ParentIdPrefix)
iface="Enum\\USB\\VID_03F0&PID_5417&MI_01\\$prefix&0001"
value "$iface" CompatibleIDs | grep -q '^USB\\Class_07&SubClass_01&Prot_03\\0' || fail "DOT4 interface CompatibleIDs"
expect "DOT4 interface Service" "$(value "$iface" Service)" Dot4Usb
expect "card reader Service" "$(value "Enum\\USB\\VID_03F0&PID_5417&MI_00\\$prefix&0000" Service)" USBSTOR
bridges='Enum\DOT4USB\VID_03F0&PID_5417&REV_0100&MI_01&DOT4'
bridge="$bridges\\$(subkeys "$bridges" | grep -F "$(value "$iface" ParentIdPrefix)" | head -1)"
expect "DOT4 bridge Service" "$(value "$bridge" Service)" Dot4
expect "DOT4 functions" "$(subkeys "$bridge\\Device Parameters\\Functions" | tr '\n' ' ')" 'FAX_VXL PRINT_VXL SCAN_VXL '
scan_fn='Enum\DOT4\VID_03F0&PID_5417&REV_0100&MI_01&DOT4&SCAN_VXL'
scan_fn="$scan_fn\\$(subkeys "$scan_fn" | head -1)"
expect "scan function Service" "$(value "$scan_fn" Service)" Dot4Scan
expect "scan function FriendlyName" "$(value "Control\\Class\\$(value "$scan_fn" Driver)" FriendlyName)" \
  'Orbit OfficeJet MX Scanner'
printers='Control\Print\Printers'
value "$printers\\Orbit OfficeJet MX Series\\PnPData" DeviceInstanceId | grep -q '^DOT4PRT\\Orbit_OfficeJet_MX' ||
  fail "print queue's PnPData"
expect "fax queue driver" "$(value "$printers\\Orbit OfficeJet MX Fax" 'Printer Driver')" 'Orbit OfficeJet MX Fax'
value "$printers\\Orbit OfficeJet MX Fax" Port | grep -qx 'DOT4_0[0-9][0-9]' || fail "fax queue port"
pass "multifunction device: DOT4 bridge, print, fax and scan functions, two queues"
classify_check 10.77.0.22 1 "" USBCLASS_COMPOSITE USBCLASS_STORAGE USBCLASS_DOT4 USBCLASS_PRINTER USBCLASS_SCANNER

# --- 4. A disconnect removes nothing; a new hold plays the arrival again ---------
cli 1 disconnect 10.77.0.21 1 >/dev/null || fail "disconnect of the printer"
expect "printer node after the disconnect" "$(value 'Enum\USB\VID_04B8&PID_0E03\LS9-0001' Service)" usbprint
[ -n "$(value 'Control\Print\Printers\Acme Laser 9 Series' Port)" ] || fail "printer queue gone after the disconnect"
cli 1 connect 10.77.0.21 1 >/dev/null || fail "reconnect of the printer"
wait_hook 10.77.0.21 1 2
pass "a disconnect keeps the keys; connecting again plays the arrival again"
grep -q "claim hook" "$work/busd2.log" && fail "PC 2 ran a claim hook it was not given"

echo "pnp_lab: all passed"
