# Shell library for lab tests that drive vessix.exe's main window on the two
# lab PCs (with pcs.sh): the common set-up and the steps a user takes in the
# tree and on the tool bar. The caller sets `name` (for messages), `src`,
# `bin`, `lab`, `uds`, `busd`, `exe` and `auto_exe`, then:
#   vx_window_checks            exits 77 when the lab, Wine, jq, unshare or the
#                               Windows build is missing
#   vx_window_lab_up RUN_DIR    makes RUN_DIR (`run`) and a scratch folder
#                               (`work`), sources pcs.sh, ends everything at exit
#                               (`pids` are killed too) and brings the lab up
#                               (exit 77 when it cannot be made)
#   vx_window_uds PORT          starts vx-uds in vxsrv on RUN_DIR/servers.json with
#                               its control port PORT; `ctl CMD...` talks to it
#   fail MESSAGE / pass MESSAGE the verdicts (fail keeps screenshots and logs)
# Once the PCs run (vx_pc_start), on the current PC:
#   tree                        the tree's lines
#   wait_line PATTERN SECONDS   a tree line matches (grep -E)
#   commands                    "on"/"off" for Connect, Disconnect and Request
#   wait_commands EXPECTED WHAT the tool bar comes to offer EXPECTED
#   select_device SERVER DEVICE EXPECTED
#                               clicks DEVICE under SERVER (patterns), then waits for
#                               the commands EXPECTED
#   press TEXT                  presses the tool bar button TEXT
# shellcheck shell=bash
# shellcheck disable=SC2154 # name, src, lab, uds, exe, auto_exe: set by the caller

vx_window_checks() {
  [ -x "$lab" ] || { echo "$name: no lab script: skipped"; exit 77; }
  [ -f "$exe" ] || { echo "$name: no Windows build of vessix.exe ($exe): skipped"; exit 77; }
  [ -f "$auto_exe" ] || { echo "$name: no automation helper ($auto_exe): skipped"; exit 77; }
  command -v wine >/dev/null || { echo "$name: no Wine: skipped"; exit 77; }
  command -v jq >/dev/null || { echo "$name: no jq: skipped"; exit 77; }
  command -v unshare >/dev/null || { echo "$name: no unshare: skipped"; exit 77; }
}

_vx_window_cleanup() {
  set +e
  vx_pcs_stop
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  [ "$_vx_window_was_up" = 1 ] || "$lab" down --kill >/dev/null 2>&1 || true
  rm -rf "$work"
}

vx_window_lab_up() {
  run=$1
  rm -rf "$run"/pc*/*.log "$run"/pc*/screenshots
  mkdir -p "$run"
  work=$(mktemp -d "/tmp/vx-$name.XXXXXX")
  pids=()
  _vx_window_was_up=0
  ip netns list 2>/dev/null | grep -qw vxpc1 && _vx_window_was_up=1
  # shellcheck source=pcs.sh
  . "$src/tests/e2e/lib/pcs.sh"
  trap _vx_window_cleanup EXIT
  local rc=0
  "$lab" up >"$run/lab.log" 2>&1 || rc=$?
  if [ "$rc" = 77 ]; then echo "$name: the lab cannot be made here: skipped"; exit 77; fi
  [ "$rc" = 0 ] || { cat "$run/lab.log"; exit 1; }
}

fail() {
  echo "$name: FAIL: $*" >&2
  for n in 1 2; do
    [ -f "$run/pc$n/wine/env" ] || continue
    vx_pc "$n" 2>/dev/null && vx_screenshot "failed" >/dev/null 2>&1
    echo "--- PC $n's tree" >&2
    vx_tree_lines TMainFm --id 120 >&2 2>/dev/null || true
  done
  for f in "$run"/*.log "$run"/pc*/*.log; do echo "--- $f"; tail -15 "$f"; done >&2
  exit 1
}
pass() { echo "$name: ok: $*"; }

vx_window_uds() {
  _vx_window_uds_port=$1
  ip netns exec vxsrv "$uds" --config "$run/servers.json" --control "$1" >"$run/uds.log" 2>&1 &
  pids+=($!)
  local i
  for ((i = 0; i < 100; i++)); do grep -q ready "$run/uds.log" 2>/dev/null && break; sleep 0.1; done
  grep -q ready "$run/uds.log" || fail "vx-uds did not start"
}
ctl() {  # a control command to vx-uds; prints its reply line
  ip netns exec vxsrv bash -c 'exec 3<>"/dev/tcp/127.0.0.1/$1"; printf "%s\n" "$2" >&3; IFS= read -r line <&3; echo "$line"' \
    _ "$_vx_window_uds_port" "$*"
}

tree() { vx_tree_lines TMainFm --id 120; }
wait_line() {  # PATTERN SECONDS: the current PC's tree has a line matching (grep -E)
  local i
  for ((i = 0; i < $2 * 4; i++)); do
    tree >"$work/tree.txt" 2>/dev/null || true
    grep -qE -- "$1" "$work/tree.txt" && return 0
    sleep 0.25
  done
  return 1
}
# "on" or "off" for each of Connect, Disconnect and Request on the tool bar
# (a hidden button is left out).
commands() {
  vx_auto toolbar --class TMainFm | jq -r '[.toolbars[].buttons[] | select(.hidden | not) |
    {t: (.text | gsub("\r"; "") | gsub("\n"; "/")), e: .enabled}] as $b |
    ["接続", "切断", "USBデバイス/の切断要求"] | map(. as $t | ($b[] | select(.t == $t) | if .e then "on" else "off" end)) | join(" ")'
}
wait_commands() {  # EXPECTED WHAT: the current PC's tool bar comes to offer EXPECTED
  local i got=
  for ((i = 0; i < 40; i++)); do
    got=$(commands 2>/dev/null || true)
    [ "$got" = "$1" ] && return 0
    sleep 0.25
  done
  fail "$2: the commands are '$got', not '$1'"
}
select_device() {  # SERVER-PATTERN DEVICE-PATTERN EXPECTED-COMMANDS
  vx_auto tree-click --class TMainFm --id 120 --node "$1" --node "$2" >/dev/null || fail "cannot click $2"
  wait_commands "$3" "after selecting $2"
}
press() { vx_auto press --class TMainFm --button "$1" --wm-command >/dev/null || fail "cannot press $1"; }
