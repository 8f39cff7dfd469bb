#!/usr/bin/env bash
# Measures the discovery listener's CPU time over idle seconds in the lab:
#   bench/discovery/idle-cpu.sh BUILD_DIR [SECONDS]   (default 60; needs root)
# The simulated servers run with announcements off, so after the start-up
# answers nothing arrives and the listener only wakes from its select.
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
seconds=${2:-60}
root=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${VX_LOCKED:-}" != 1 ]; then
  VX_LOCKED=1 exec flock /tmp/vx-lab.lock "$0" "$@"
fi
"$root/lab/net/vx-lab.sh" up >/dev/null
tmp=$(mktemp -d /tmp/vx-idle.XXXXXX)
ip netns exec vxsrv "$build/lab/uds/vx-uds" --config "$root/tests/e2e/discovery/lab-servers.json" \
  --announce-interval 0 >"$tmp/uds.log" 2>&1 &
uds=$!
trap 'kill $uds 2>/dev/null; wait $uds 2>/dev/null; rm -rf "$tmp"' EXIT
sleep 0.5
ip netns exec vxpc1 "$build/bench/discovery/discovery_idle_listener" --seconds "$seconds"
