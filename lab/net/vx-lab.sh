#!/usr/bin/env bash
# The lab network: a small LAN of network namespaces joined by a bridge.
# Everything lives inside namespaces; nothing is created on this machine's own
# interfaces, and the root namespace is never changed.
#
#   vx-lab.sh up              create the lab (idempotent; needs root)
#   vx-lab.sh down [--kill]   remove it (idempotent); --kill first ends the
#                             processes still running inside its namespaces
#   vx-lab.sh exec NS CMD...  run CMD inside lab namespace NS
#   vx-lab.sh status          show the namespaces, addresses and processes
#
# Layout (docs/lab.md):
#   vxnet   bridge vxbr0; one veth port per other namespace
#   vxpc1   eth0 10.77.0.11/24   (a PC; loopback up)
#   vxpc2   eth0 10.77.0.12/24   (a PC; loopback up)
#   vxsrv   eth0 10.77.0.21-29/24 and 10.88.0.21/24 (simulated servers, vx-uds)
#   vxrtr   eth0 10.77.0.1/24 on the LAN, eth1 10.99.0.1/24 towards vxwan
#   vxwan   eth0 10.99.0.21/24 (a remote server, reachable only by unicast)
# The PCs and vxsrv route 10.99.0.0/24 through vxrtr (10.77.0.1).
#
# Exit codes: 0 done, 1 failed, 2 usage, 77 the lab cannot be made here (not
# root, or network namespaces unavailable).
set -euo pipefail

BRIDGE_NS=vxnet
PCS=(vxpc1 vxpc2)
ALL=(vxnet vxpc1 vxpc2 vxsrv vxrtr vxwan)

die() { echo "vx-lab: $*" >&2; exit 1; }

have_ns() { [ -e "/var/run/netns/$1" ]; }

in_ns() { local ns=$1; shift; ip netns exec "$ns" "$@"; }

# Creates namespace $1 with loopback up, unless it exists.
make_ns() {
  have_ns "$1" || ip netns add "$1"
  ip -n "$1" link set lo up
  # No reverse-path filter: servers on another subnet answer PCs here.
  in_ns "$1" sysctl -qw net.ipv4.conf.all.rp_filter=0 net.ipv4.conf.default.rp_filter=0
}

# Joins namespace $1 to the bridge: port $2 in vxnet, eth0 in $1 with MAC $3.
join_bridge() {
  local ns=$1 port=$2 mac=$3
  if ! ip -n "$BRIDGE_NS" link show "$port" >/dev/null 2>&1; then
    ip -n "$BRIDGE_NS" link add "$port" type veth peer name eth0 netns "$ns"
  fi
  ip -n "$BRIDGE_NS" link set "$port" master vxbr0 up
  ip -n "$ns" link set eth0 address "$mac"
  in_ns "$ns" sysctl -qw net.ipv4.conf.eth0.rp_filter=0
  ip -n "$ns" link set eth0 up
}

# Adds address $2 to device $3 in namespace $1 unless it is there.
add_addr() {
  local present
  present=$(ip -n "$1" -4 -o addr show dev "$3")
  case "$present" in *"inet $2 "*) ;; *) ip -n "$1" addr add "$2" dev "$3" ;; esac
}

add_route() {  # ns destination gateway
  ip -n "$1" route replace "$2" via "$3"
}

cmd_up() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "vx-lab: needs root to create network namespaces" >&2
    exit 77
  fi
  if ! ip netns add vxprobe$$ 2>/dev/null; then
    echo "vx-lab: cannot create network namespaces here" >&2
    exit 77
  fi
  ip netns del vxprobe$$

  make_ns "$BRIDGE_NS"
  ip -n "$BRIDGE_NS" link show vxbr0 >/dev/null 2>&1 || ip -n "$BRIDGE_NS" link add vxbr0 type bridge
  ip -n "$BRIDGE_NS" link set vxbr0 type bridge stp_state 0 forward_delay 0 2>/dev/null || true
  ip -n "$BRIDGE_NS" link set vxbr0 up

  make_ns vxpc1
  join_bridge vxpc1 pc1 02:77:00:00:00:11
  add_addr vxpc1 10.77.0.11/24 eth0
  make_ns vxpc2
  join_bridge vxpc2 pc2 02:77:00:00:00:12
  add_addr vxpc2 10.77.0.12/24 eth0

  make_ns vxsrv
  join_bridge vxsrv srv 02:77:00:00:00:21
  for i in 21 22 23 24 25 26 27 28 29; do add_addr vxsrv "10.77.0.$i/24" eth0; done
  add_addr vxsrv 10.88.0.21/24 eth0

  make_ns vxrtr
  join_bridge vxrtr rtr 02:77:00:00:00:01
  add_addr vxrtr 10.77.0.1/24 eth0
  in_ns vxrtr sysctl -qw net.ipv4.ip_forward=1
  make_ns vxwan
  if ! ip -n vxrtr link show eth1 >/dev/null 2>&1; then
    ip -n vxrtr link add eth1 type veth peer name eth0 netns vxwan
  fi
  ip -n vxrtr link set eth1 address 02:99:00:00:00:01 up
  in_ns vxrtr sysctl -qw net.ipv4.conf.eth1.rp_filter=0
  add_addr vxrtr 10.99.0.1/24 eth1
  ip -n vxwan link set eth0 address 02:99:00:00:00:21 up
  add_addr vxwan 10.99.0.21/24 eth0
  add_route vxwan default 10.99.0.1

  for ns in "${PCS[@]}" vxsrv; do add_route "$ns" 10.99.0.0/24 10.77.0.1; done

  cat <<TXT
vx-lab: up. Run a command inside a PC with
  ip netns exec vxpc1 COMMAND...     (PC 1, 10.77.0.11)
  ip netns exec vxpc2 COMMAND...     (PC 2, 10.77.0.12)
simulated servers: ip netns exec vxsrv vx-uds --config FILE ...   (10.77.0.21-29, 10.88.0.21)
remote server:     ip netns exec vxwan vx-uds --config FILE ...   (10.99.0.21, via router 10.77.0.1)
TXT
}

cmd_down() {
  local kill=0
  [ "${1:-}" = "--kill" ] && kill=1
  [ "$(id -u)" -eq 0 ] || { echo "vx-lab: needs root" >&2; exit 77; }
  local busy=0
  for ns in "${ALL[@]}"; do
    have_ns "$ns" || continue
    local pids
    pids=$(ip netns pids "$ns" 2>/dev/null || true)
    [ -z "$pids" ] && continue
    if [ "$kill" -eq 1 ]; then
      # Processes inside a lab namespace are lab processes; end them by id.
      for pid in $pids; do kill "$pid" 2>/dev/null || true; done
      for _ in $(seq 1 50); do [ -z "$(ip netns pids "$ns" 2>/dev/null)" ] && break; sleep 0.1; done
      for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null || true; done
    else
      echo "vx-lab: processes still running in $ns: $pids (stop them, or use: down --kill)" >&2
      busy=1
    fi
  done
  [ "$busy" -eq 0 ] || exit 1
  for ns in vxwan vxrtr vxsrv vxpc2 vxpc1 vxnet; do
    have_ns "$ns" && ip netns del "$ns"
  done
  echo "vx-lab: down"
}

cmd_exec() {
  local ns=${1:-}
  [ -n "$ns" ] || { echo "usage: vx-lab.sh exec NS COMMAND..." >&2; exit 2; }
  shift
  case " ${ALL[*]} " in *" $ns "*) ;; *) echo "vx-lab: $ns is not a lab namespace" >&2; exit 2 ;; esac
  have_ns "$ns" || die "namespace $ns does not exist (run: vx-lab.sh up)"
  exec ip netns exec "$ns" "$@"
}

cmd_status() {
  local up=1
  for ns in "${ALL[@]}"; do
    if ! have_ns "$ns"; then
      echo "$ns: missing"
      up=0
      continue
    fi
    local addrs pids
    addrs=$(ip -n "$ns" -4 -o addr show 2>/dev/null | awk '$2 != "lo" {print $2":"$4}' | tr '\n' ' ')
    pids=$(ip netns pids "$ns" 2>/dev/null | tr '\n' ' ')
    echo "$ns: ${addrs:-no addresses}${pids:+ pids: $pids}"
  done
  [ "$up" -eq 1 ]
}

case "${1:-}" in
  up) cmd_up ;;
  down) shift; cmd_down "$@" ;;
  exec) shift; cmd_exec "$@" ;;
  status) cmd_status ;;
  *) echo "usage: $0 up | down [--kill] | exec NS COMMAND... | status" >&2; exit 2 ;;
esac
