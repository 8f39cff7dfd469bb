# Shell library for end-to-end scripts with the lab's two PCs, vxpc1 and vxpc2.
# PC N runs its own bus driver emulator (vx-busd named VXPCN, listening on
# 127.0.0.1:7600 inside its namespace), its own Wine environment (prefix,
# Xvfb, wineserver) whose Windows computer name is VXPCN, and vessix.exe.
# The lab must be up (lab/net/vx-lab.sh up) and the caller must hold
# /tmp/vx-lab.lock. Sources auto.sh; its functions act on the current PC.
#   . tests/e2e/lib/pcs.sh
#   vx_pcs_init RUN_DIR BUSD [VESSIX_EXE [VX_AUTO_EXE]]
#                              PC N keeps its files in RUN_DIR/pcN (logs, wine/,
#                              screenshots/); executables default to build/windows
#   vx_pc_busd N [ARG...]      starts PC N's vx-busd (ARGs added) and waits until it listens
#   vx_pc_wine N               starts PC N's Wine environment, host name vxpcN
#   vx_pc_start N [ARG...]     starts vessix.exe on PC N (ARGs passed to it) against its
#                              vx-busd and waits for the main window; makes PC N current
#   vx_pc N                    makes PC N current for vx_auto, vx_tree_lines, vx_screenshot...
#   vx_pc_running N            true while PC N's vessix.exe runs
#   vx_pc_wait_gone N SECONDS  waits until PC N's vessix.exe has ended (false on time-out)
#   vx_pc_cli N ARG...         vessix-cli inside PC N with its channel and computer name
#                              (VX_CLI names the native vessix-cli)
#   vx_pcs_stop                ends what the library started (vessix.exe, Wine, vx-busd)
#
# Computer names: Wine takes the Windows computer name (GetComputerNameA,
# upper-cased) from the Unix host name of the first process of a wineserver
# session and keeps it for the session. Every Wine process of PC N runs in a
# UTS namespace of its own with host name vxpcN (wine-env.sh and wine-run.sh,
# VX_WINE_HOSTNAME), so the two PCs are VXPC1 and VXPC2 and the machine's own
# host name is never changed. vx-busd and vessix-cli are told the same name.
# shellcheck shell=bash

_vx_pcs_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
_vx_pcs_root=$(cd "$_vx_pcs_lib/../../.." && pwd)
# shellcheck source=auto.sh
. "$_vx_pcs_lib/auto.sh"

VX_PCS_PIDS=()
declare -A VX_PC_VESSIX_PID=()

vx_pcs_init() {
  VX_PCS_RUN=${1:?vx_pcs_init RUN_DIR BUSD [VESSIX_EXE [VX_AUTO_EXE]]}
  VX_PCS_BUSD=${2:?vx_pcs_init RUN_DIR BUSD}
  VX_PCS_EXE=${3:-$_vx_pcs_root/build/windows/src/app/win32/vessix.exe}
  VX_PCS_AUTO=${4:-$_vx_pcs_root/build/windows/tests/automation/vx-auto.exe}
  mkdir -p "$VX_PCS_RUN/pc1" "$VX_PCS_RUN/pc2"
  VX_PCS_RUN=$(cd "$VX_PCS_RUN" && pwd)
}

_vx_pc_dir() { printf '%s/pc%s' "$VX_PCS_RUN" "$1"; }

_vx_pcs_wait_file() {  # FILE SECONDS TEXT
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    grep -qF -- "$3" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

vx_pc_busd() {
  local n=$1 dir
  shift
  dir=$(_vx_pc_dir "$n")
  ip netns exec "vxpc$n" "$VX_PCS_BUSD" --name "VXPC$n" --listen 127.0.0.1:7600 "$@" >"$dir/busd.log" 2>&1 &
  VX_PCS_PIDS+=($!)
  _vx_pcs_wait_file "$dir/busd.log" 10 listening || {
    echo "pcs.sh: vx-busd of PC $n did not start" >&2
    return 1
  }
}

vx_pc_wine() {
  local n=$1 dir
  dir=$(_vx_pc_dir "$n")
  VX_WINE_NETNS="vxpc$n" VX_WINE_HOSTNAME="vxpc$n" "$_vx_pcs_root/tests/wine/wine-env.sh" start "$dir" \
    >"$dir/wine-env.log" 2>&1 || {
    echo "pcs.sh: Wine of PC $n did not start" >&2
    cat "$dir/wine-env.log" >&2
    return 1
  }
}

vx_pc() {
  VX_AUTO_SHOTS="$(_vx_pc_dir "$1")/screenshots" vx_auto_init "$(_vx_pc_dir "$1")" "$VX_PCS_AUTO"
}

vx_pc_start() {
  local n=$1 dir
  shift
  dir=$(_vx_pc_dir "$n")
  VX_BINARY_DIR="$dir" VESSIX_BUS_EMULATOR=127.0.0.1:7600 \
    setsid "$_vx_pcs_root/tests/wine/wine-run.sh" "$VX_PCS_EXE" "$@" >"$dir/vessix.log" 2>&1 </dev/null &
  VX_PC_VESSIX_PID[$n]=$!
  vx_pc "$n" || return 1
  vx_wait_window TMainFm 60000 || {
    echo "pcs.sh: the main window of PC $n did not appear" >&2
    return 1
  }
}

vx_pc_running() {
  local pid=${VX_PC_VESSIX_PID[$1]:-} state
  [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
  state=$(awk '{print $3}' "/proc/$pid/stat" 2>/dev/null)
  [ -n "$state" ] && [ "$state" != Z ]
}

vx_pc_wait_gone() {
  local i
  for ((i = 0; i < $2 * 10; i++)); do
    vx_pc_running "$1" || {
      wait "${VX_PC_VESSIX_PID[$1]}" 2>/dev/null || true
      return 0
    }
    sleep 0.1
  done
  return 1
}

vx_pc_cli() {
  local n=$1
  shift
  ip netns exec "vxpc$n" env VESSIX_BUS_EMULATOR=127.0.0.1:7600 VESSIX_COMPUTER_NAME="VXPC$n" \
    "${VX_CLI:?vx_pc_cli needs VX_CLI}" "$@"
}

vx_pcs_stop() {
  # Runs from EXIT traps, often under `set -e`: no step may end it early, or
  # the processes left behind keep the lab lock.
  local n p dir
  for n in 1 2; do
    if [ -n "${VX_PCS_RUN:-}" ]; then
      dir=$(_vx_pc_dir "$n")
      if [ -f "$dir/wine/env" ]; then
        VX_WINE_NETNS="vxpc$n" "$_vx_pcs_root/tests/wine/wine-env.sh" stop "$dir" >/dev/null 2>&1 || true
      fi
    fi
    p=${VX_PC_VESSIX_PID[$n]:-}
    if [ -n "$p" ]; then
      kill "$p" 2>/dev/null || true
      wait "$p" 2>/dev/null || true
    fi
  done
  for p in "${VX_PCS_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${VX_PCS_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
  VX_PCS_PIDS=()
  VX_PC_VESSIX_PID=()
  return 0
}
