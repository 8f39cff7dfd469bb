#!/usr/bin/env bash
# Lab test of server discovery (label e2e), inside the lab's namespaces only:
# simulated servers in vxsrv (three on 10.77.0.0/24, one on 10.88.0.0/24) and
# a remote one in vxwan behind the router; `vessix-cli discover --json` and
# discovery_lab_test run in the PC namespace vxpc1.
#   discovery_lab.sh VESSIX_CLI VX_UDS DISCOVERY_LAB_TEST UDS_LAB_TEST
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
cli=$1 uds=$2 labtest=$3 udstest=$4
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
for ns in vxsrv vxwan; do
  if [ -n "$(ip netns pids "$ns")" ]; then
    echo "FAIL: processes already run in $ns ($(ip netns pids "$ns" | tr '\n' ' ')); stop them first"
    exit 1
  fi
done

tmp=$(mktemp -d /tmp/vx-discovery-e2e.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; wait "$p" 2>/dev/null || true; done
  [ "$was_up" -eq 1 ] || "$lab" down >/dev/null 2>&1 || true
  rm -rf "$tmp"
}
trap cleanup EXIT

ip netns exec vxsrv "$uds" --config "$here/lab-servers.json" --control "$tmp/srv.sock" >"$tmp/srv.log" 2>&1 &
pids+=($!)
ip netns exec vxwan "$uds" --config "$here/wan-server.json" --control "$tmp/wan.sock" >"$tmp/wan.log" 2>&1 &
pids+=($!)
for _ in $(seq 1 200); do
  grep -q ready "$tmp/srv.log" && grep -q ready "$tmp/wan.log" && break
  sleep 0.05
done
grep -q ready "$tmp/srv.log" && grep -q ready "$tmp/wan.log" || {
  echo "FAIL: vx-uds did not start"; cat "$tmp/srv.log" "$tmp/wan.log"; exit 1; }

echo "== vessix-cli discover --json inside vxpc1"
ip netns exec vxpc1 "$cli" discover --seconds 2 --json | tee "$tmp/discover.json"
python3 - "$tmp/discover.json" <<'PY'
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
by_ip = {r["ip"]: r for r in rows}
want = {"10.77.0.21", "10.77.0.22", "10.77.0.23", "10.88.0.21"}
assert set(by_ip) == want, f"servers found: {sorted(by_ip)}"
keys = {"ip", "mac", "model", "configd_version", "configd_type", "usb_ports", "storage_mode", "wireless",
        "software_bus"}
assert all(set(r) == keys for r in rows), rows
s3 = by_ip["10.77.0.23"]
assert s3 == {"ip": "10.77.0.23", "mac": "00:80:92:00:00:23", "model": "MD-WLAN04N", "configd_version": "1.24",
              "configd_type": 1, "usb_ports": 4, "storage_mode": 1, "wireless": True, "software_bus": False}, s3
print("discover: OK,", len(rows), "servers")
PY

echo "== vessix-cli discover without a usable adapter (the bridge namespace) exits 2"
rc=0
ip netns exec vxnet "$cli" discover --seconds 0 >/dev/null 2>"$tmp/noadapter.txt" || rc=$?
[ "$rc" -eq 2 ] && grep -q "no usable network adapter" "$tmp/noadapter.txt" || {
  echo "FAIL: exit $rc: $(cat "$tmp/noadapter.txt")"; exit 1; }

echo "== vessix-cli discover outside the lab is refused"
if "$cli" discover --seconds 0 >/dev/null 2>"$tmp/refused.txt"; then
  echo "FAIL: discover ran outside a lab namespace"; exit 1
fi
grep -q "refusing to broadcast" "$tmp/refused.txt"

echo "== discovery_lab_test inside vxpc1"
ip netns exec vxpc1 "$labtest" --control "$tmp/srv.sock" --wan-control "$tmp/wan.sock"

echo "== uds_lab_test inside vxpc1"
ip netns exec vxpc1 "$udstest" --control "$tmp/srv.sock"
