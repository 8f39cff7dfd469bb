#!/usr/bin/env bash
# Measures disconnect-all of 8 devices on one server against 8 single
# disconnects (each a vessix-cli run) in the lab. Not a ctest; run it as root
# under the lab lock: flock /tmp/vx-lab.lock tests/e2e/devices/disconnect_all_timing.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd); src=$(cd "$here/../../.." && pwd); bin=${VX_BINARY_DIR:-$src/build/native}
busd=$bin/lab/busd/vx-busd cli=$bin/src/cli/vessix-cli uds=$bin/lab/uds/vx-uds lab=$src/lab/net/vx-lab.sh
work=$(mktemp -d /tmp/vx-devices-perf.XXXXXX); test_name=devices_perf
. "$src/tests/e2e/busdriver/lab_steps.sh"
lab_up
devs=""
for n in 1 2 3 4 5 6 7 8; do devs="$devs{\"device_no\": $n, \"vid\": \"04B8\", \"pid\": \"0E0$n\", \"class\": \"PRINTER\", \"manufacturer\": \"A\", \"product\": \"P$n\", \"serial\": \"S$n\"},"; done
echo "{\"interface\": \"eth0\", \"announce_interval\": 2, \"servers\": [{\"name\": \"UDS-A\", \"mac\": \"00:80:92:00:00:21\", \"ip\": \"10.77.0.21\", \"devices\": [${devs%,}]}]}" >"$work/s.json"
ip netns exec vxsrv "$uds" --config "$work/s.json" --control 7700 >"$work/uds.log" 2>&1 & pids+=($!)
ip netns exec vxpc1 "$busd" --name VXPC1 --listen 127.0.0.1:7600 --discover --discover-interval 1000 >"$work/busd1.log" 2>&1 & pids+=($!)
wait_for "$work/busd1.log" 10 listening; wait_for "$work/uds.log" 10 ready
c() { ip netns exec vxpc1 env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME=VXPC1 "$cli" "$@"; }
for i in $(seq 1 30); do c servers --json 2>/dev/null | grep -q '"device_no":8' && break; sleep 1; done
for round in 1 2 3; do
  for n in 1 2 3 4 5 6 7 8; do c connect 10.77.0.21 $n >/dev/null; done
  t0=$(date +%s%N); c disconnect-all 10.77.0.21 >/dev/null; t1=$(date +%s%N)
  for n in 1 2 3 4 5 6 7 8; do c connect 10.77.0.21 $n >/dev/null; done
  t2=$(date +%s%N); for n in 1 2 3 4 5 6 7 8; do c disconnect 10.77.0.21 $n >/dev/null; done; t3=$(date +%s%N)
  all=$(( (t1-t0)/1000000 )) single=$(( (t3-t2)/1000000 ))
  echo "round $round: disconnect-all 8: $all ms; 8 x disconnect: $single ms; ratio $(awk -v a="$all" -v s="$single" 'BEGIN { printf "%.2f", s / (a > 0 ? a : 1) }')"
done
