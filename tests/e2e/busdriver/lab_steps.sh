# Steps shared by the bus driver's lab tests; sourced (not run) after setting
# `test_name`, `lab` (lab/net/vx-lab.sh) and `work` (a private folder).
# Background processes go into `pids`; commands in `on_exit` run first at
# exit. The lab is taken down again when it was down before.
pids=()
on_exit=()
lab_was_up=0

lab_cleanup() {
  local c p
  for c in "${on_exit[@]}"; do eval "$c" >/dev/null 2>&1 || true; done
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
  [ "$lab_was_up" = 1 ] || "$lab" down >/dev/null 2>&1 || true
  rm -rf "$work"
}

# Brings the lab up; exits 77 when it cannot be made here.
lab_up() {
  local rc=0
  ip netns list 2>/dev/null | grep -qw vxpc1 && lab_was_up=1
  trap lab_cleanup EXIT
  "$lab" up >"$work/lab.log" 2>&1 || rc=$?
  if [ "$rc" = 77 ]; then echo "$test_name: the lab cannot be made here: skipped"; exit 77; fi
  [ "$rc" = 0 ] || { cat "$work/lab.log"; exit 1; }
}

fail() { echo "$test_name: FAIL: $*" >&2; for f in "$work"/*.log; do echo "--- $f"; tail -20 "$f"; done >&2; exit 1; }
pass() { echo "$test_name: ok: $*"; }

# Waits (up to $2 seconds) until file $1 contains text $3.
wait_for() {
  local file=$1 seconds=$2 text=$3 i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -qF -- "$text" "$file" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}
