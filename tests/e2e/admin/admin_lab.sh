#!/usr/bin/env bash
# Lab test of the configuration protocol (label e2e), inside the lab's
# namespaces only: vx-uds in vxsrv (two servers on 10.77.0.0/24, one on
# 10.88.0.0/24), `vessix-cli config` in the PC namespaces vxpc1 and vxpc2.
#   admin_lab.sh VESSIX_CLI VX_UDS
# Exit 77 (skipped) when the lab cannot be made here.
set -euo pipefail
if [ "${1:-}" != "--locked" ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the lab needs root to create its network namespaces"
    exit 77
  fi
  # One user of the lab at a time.
  exec flock /tmp/vx-lab.lock "$0" --locked "$@"
fi
shift
cli=$1 uds=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
lab="$root/lab/net/vx-lab.sh"

was_up=0
"$lab" status >/dev/null 2>&1 && was_up=1
rc=0
"$lab" up >/dev/null || rc=$?
if [ "$rc" -eq 77 ]; then
  echo "SKIP: cannot create the lab network namespaces here"
  exit 77
fi
[ "$rc" -eq 0 ] || { echo "FAIL: vx-lab.sh up failed ($rc)"; exit 1; }
if [ -n "$(ip netns pids vxsrv)" ]; then
  echo "FAIL: processes already run in vxsrv ($(ip netns pids vxsrv | tr '\n' ' ')); stop them first"
  exit 1
fi

tmp=$(mktemp -d /tmp/vx-admin-e2e.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  [ "$was_up" -eq 1 ] || "$lab" down >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

ip netns exec vxsrv "$uds" --config "$here/admin-servers.json" --control "$tmp/srv.sock" --verbose \
  >"$tmp/srv.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do grep -q ready "$tmp/srv.log" && break; sleep 0.05; done
grep -q ready "$tmp/srv.log" || { echo "FAIL: vx-uds did not start"; cat "$tmp/srv.log"; exit 1; }

fail() { echo "FAIL: $*"; echo "--- vx-uds log"; tail -n 30 "$tmp/srv.log"; exit 1; }

# One control command to vx-uds; prints the reply line.
ctl() {
  python3 - "$tmp/srv.sock" "$*" <<'PY'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.connect(sys.argv[1])
s.sendall((sys.argv[2] + "\n").encode())
data = b""
while not data.endswith(b"\n"):
    chunk = s.recv(65536)
    if not chunk:
        break
    data += chunk
print(data.decode().strip())
PY
}

# Waits until vx-uds lists server NAME at IP as up (after a restart): wait_up NAME IP.
wait_up() {
  for _ in $(seq 1 80); do
    ctl list | python3 -c '
import json, sys
name, ip = sys.argv[1:]
rows = json.loads(sys.stdin.read()[3:])
sys.exit(0 if any(r["name"] == name and r["ip"] == ip and r["up"] for r in rows) else 1)' "$1" "$2" && return 0
    sleep 0.1
  done
  fail "server $1 is not up at $2: $(ctl list)"
}

# Runs vessix-cli config inside a PC namespace: cfg NS OUT ARGS...; sets $rc.
cfg() {
  local ns=$1 out=$2; shift 2
  rc=0
  ip netns exec "$ns" "$cli" config "$@" >"$out" 2>"$out.err" || rc=$?
}

# Checks a JSON record read: check_json FILE 'python expression over r'.
check_json() {
  python3 - "$1" "$2" <<'PY'
import json, sys
lines = open(sys.argv[1]).read().splitlines()
assert lines[-1] == "result 0", lines
r = json.loads(lines[0])
assert eval(sys.argv[2]), r
PY
}

echo "== every record over UDP and over TCP"
for transport in udp tcp; do
  for rec in general tcpip tcpip-status protocols printers wireless; do
    cfg vxpc1 "$tmp/$rec.$transport" 10.77.0.21 get "$rec" --json --transport "$transport" --verbose
    [ "$rc" -eq 0 ] || fail "get $rec over $transport: exit $rc: $(cat "$tmp/$rec.$transport" "$tmp/$rec.$transport.err")"
    want="Use UDP"; [ "$transport" = tcp ] && want="Use TCP"
    grep -q "$want to Configure" "$tmp/$rec.$transport.err" || fail "get $rec did not use $transport"
  done
  check_json "$tmp/general.$transport" \
    'r == {"Description": "first floor", "ServerName": "srv1", "Workgroup": "LABGROUP", "Reserved84": 0, "Codepage": 0, "ExtendedWrite": 0}'
  check_json "$tmp/tcpip.$transport" \
    'r["IpAddress"] == "10.77.0.21" and r["SubnetMask"] == "255.255.255.0" and r["Gateway"] == "10.77.0.1" and r["DhcpOn"] == 0'
  check_json "$tmp/tcpip-status.$transport" 'r["IpAddress"] == "10.77.0.21" and r["LeaseTime"] == 0'
  check_json "$tmp/protocols.$transport" \
    'r["FtpPort"] == 21 and r["SanePort"] == 6566 and r["RawPort1"] == 9100 and r["IppOn"] == 1 and len(r) == 20'
  check_json "$tmp/printers.$transport" 'r == {"Port1QueueName": "lp-left", "Port2QueueName": "lp-right"}'
  check_json "$tmp/wireless.$transport" 'r["Region"] == 0 and r["Ssid"] == "" and len(r["WepKey"]) == 4'
done
echo "records: OK"

echo "== auto: TCP for a local server of version 1.24 or later, UDP for one on another subnet; by MAC"
cfg vxpc1 "$tmp/auto1" --verbose 00:80:92:00:00:21 get general
[ "$rc" -eq 0 ] && grep -q "10.77.0.21 : Use TCP to Configure" "$tmp/auto1.err" || fail "auto srv1: $(cat "$tmp/auto1.err")"
grep -q "^ServerName: srv1$" "$tmp/auto1" || fail "text output: $(cat "$tmp/auto1")"
cfg vxpc1 "$tmp/auto2" 10.88.0.21 get general --verbose
[ "$rc" -eq 0 ] && grep -q "10.88.0.21 : Use UDP to Configure" "$tmp/auto2.err" || fail "auto other: $(cat "$tmp/auto2.err")"

echo "== an older server: opcode 48 unanswered, 6 answers; wireless values normalised"
ctl reset-stats >/dev/null
cfg vxpc1 "$tmp/p2" 10.77.0.22 get protocols --json --transport udp
check_json "$tmp/p2" 'r["FtpPort"] == 21'
ctl config srv2 show | python3 -c '
import json, sys
s = json.loads(sys.stdin.read()[3:])
assert s["frames"]["48"] == 10 and s["frames"]["6"] == 1, s["frames"]'
cfg vxpc1 "$tmp/w2" 10.77.0.22 get wireless --json
check_json "$tmp/w2" 'r["Region"] == 0 and r["LinkQuality"] == 0 and r["Ssid"] == "lab-ssid"'

echo "== login: wrong password 1, administrator 0, a second administrator 80"
cfg vxpc1 "$tmp/l1" 10.77.0.21 login --user admin --password wrong-one
[ "$rc" -eq 1 ] && [ "$(cat "$tmp/l1")" = "result 1" ] || fail "wrong password: exit $rc $(cat "$tmp/l1")"
cfg vxpc1 "$tmp/l2" 10.77.0.21 login --user admin --password lab-secret --verbose
[ "$rc" -eq 0 ] && [ "$(cat "$tmp/l2")" = "result 0" ] || fail "login: exit $rc $(cat "$tmp/l2")"
cfg vxpc2 "$tmp/l3" 10.77.0.21 login --user admin --password lab-secret --transport udp
[ "$rc" -eq 1 ] && [ "$(cat "$tmp/l3")" = "result 80" ] || fail "second administrator: exit $rc $(cat "$tmp/l3")"
if grep -q "lab-secret" "$tmp"/l[123] "$tmp"/l[123].err; then fail "the password was printed"; fi
ctl config srv1 logout >/dev/null

echo "== bad input is refused before anything is sent"
: >"$tmp/empty.bin"
ctl reset-stats >/dev/null
for args in "00:80:92:00:00 get general" "10.77.0.300 get general" "10.77.0.21 get nothing" \
            "10.77.0.21 firmware $tmp/empty.bin" "10.77.0.21 firmware $tmp/missing.bin" \
            "10.77.0.21 set tcpip --static 10.77.0.40 255.255.255.0 10.78.0.1" "10.77.0.21 set general --name bad name"; do
  # shellcheck disable=SC2086
  cfg vxpc1 "$tmp/bad" $args
  [ "$rc" -eq 2 ] && [ ! -s "$tmp/bad" ] || fail "'$args': exit $rc: $(cat "$tmp/bad" "$tmp/bad.err")"
done
grep -q "neither a MAC address" <(cfg vxpc1 "$tmp/bad" 00:80:92:00:00 get general; cat "$tmp/bad.err") ||
  fail "malformed MAC message"
[ "$(ctl stats)" = 'OK {"tcp_requests":{},"udp_invalid":0,"udp_requests":{}}' ] || fail "traffic: $(ctl stats)"

echo "== set general --name and set tcpip --static move the server on the other subnet"
cfg vxpc1 "$tmp/s1" 10.88.0.21 set general --name moved-srv
[ "$rc" -eq 0 ] && [ "$(cat "$tmp/s1")" = "result 0" ] || fail "set general: exit $rc $(cat "$tmp/s1" "$tmp/s1.err")"
# Wait for the restart, then the server answers again under its new name.
wait_up moved-srv 10.88.0.21
cfg vxpc1 "$tmp/g1" 10.88.0.21 get general --json
check_json "$tmp/g1" 'r["ServerName"] == "moved-srv" and r["Workgroup"] == "WORKGROUP"'
cfg vxpc1 "$tmp/s2" 10.88.0.21 set tcpip --static 10.77.0.40 255.255.255.0 10.77.0.1
[ "$rc" -eq 0 ] && [ "$(cat "$tmp/s2")" = "result 0" ] || fail "set tcpip: exit $rc $(cat "$tmp/s2" "$tmp/s2.err")"
found=0
for _ in $(seq 1 10); do
  ip netns exec vxpc1 "$cli" discover --seconds 1 --json >"$tmp/discover.json"
  if python3 - "$tmp/discover.json" <<'PY'
import json, sys
rows = {r["ip"]: r for r in (json.loads(l) for l in open(sys.argv[1]) if l.strip())}
sys.exit(0 if "10.77.0.40" in rows and rows["10.77.0.40"]["mac"] == "00:80:92:00:00:88" and "10.88.0.21" not in rows else 1)
PY
  then found=1; break; fi
done
[ "$found" -eq 1 ] || fail "discover did not find the server at 10.77.0.40: $(cat "$tmp/discover.json")"
cfg vxpc1 "$tmp/t1" 10.77.0.40 get tcpip --json --verbose
check_json "$tmp/t1" 'r["IpAddress"] == "10.77.0.40" and r["Gateway"] == "10.77.0.1"'
grep -q "10.77.0.40 : Use TCP to Configure" "$tmp/t1.err" || fail "the moved server is not local"
echo "moved: OK"

echo "== firmware: a few hundred kilobytes with progress to 100; a refused image gives 20"
head -c 300000 /dev/urandom >"$tmp/fw.bin"
cfg vxpc1 "$tmp/f1" 10.77.0.21 firmware "$tmp/fw.bin"
[ "$rc" -eq 0 ] || fail "firmware: exit $rc $(tail -n 3 "$tmp/f1") $(cat "$tmp/f1.err")"
[ "$(head -n 1 "$tmp/f1")" = "0%" ] && [ "$(tail -n 2 "$tmp/f1" | tr '\n' ' ')" = "100% result 0 " ] ||
  fail "firmware output: $(head -n 2 "$tmp/f1") ... $(tail -n 2 "$tmp/f1")"
[ "$(grep -c '%$' "$tmp/f1")" -eq $((1 + (300000 + 511) / 512 + 1)) ] || fail "progress lines: $(grep -c '%$' "$tmp/f1")"
ctl config srv1 show | python3 -c '
import json, sys
s = json.loads(sys.stdin.read()[3:])
assert s["firmware_images"] == 1 and s["firmware_bytes"] == 300000, s'
wait_up srv1 10.77.0.21
ctl config srv1 fail-firmware on >/dev/null
cfg vxpc1 "$tmp/f2" 10.77.0.21 firmware "$tmp/fw.bin"
[ "$rc" -eq 1 ] && [ "$(cat "$tmp/f2" | tr '\n' ' ')" = "0% result 20 " ] || fail "refused firmware: exit $rc $(cat "$tmp/f2")"

echo "== restart and factory default answer 0; the server comes back with its first name"
cfg vxpc1 "$tmp/r1" 10.77.0.40 factory-default
[ "$rc" -eq 0 ] && [ "$(cat "$tmp/r1")" = "result 0" ] || fail "factory default: exit $rc $(cat "$tmp/r1")"
wait_up other 10.88.0.21
echo "admin lab: OK"
