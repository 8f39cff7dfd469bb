# Shell library for end-to-end scripts: drives vx-auto.exe (the automation
# helper) in the Wine environment of a run and keeps screenshots.
#   . tests/e2e/lib/auto.sh
#   vx_auto_init RUN_DIR [VX_AUTO_EXE]   RUN_DIR holds wine/env (wine-env.sh start RUN_DIR)
#   vx_auto COMMAND [OPTIONS]            one call of the helper; JSON on stdout, its exit code
#   vx_json FILTER                       a jq filter over the JSON on stdin (raw output)
#   vx_wait_window CLASS [TIMEOUT_MS]    waits for a visible top-level window of CLASS
#   vx_wait_tree CLASS COUNT [TIMEOUT_MS [OPTION...]]
#                                        waits until the window's tree has COUNT items or more;
#                                        OPTIONs pick the tree (e.g. --id 120), else the first one
#   vx_tree_lines CLASS [OPTION...]      the tree's items, one per line, indented by depth
#   vx_screenshot NAME                   saves RUN_DIR/screenshots/NAME.png; prints the path
# Exit codes of vx-auto: 0 done, 1 not found / time-out, 2 usage, 3 operation failed.
# shellcheck shell=bash

_vx_auto_lib=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
_vx_auto_root=$(cd "$_vx_auto_lib/../../.." && pwd)

vx_auto_init() {
  VX_AUTO_RUN_DIR=$(cd "${1:?vx_auto_init RUN_DIR [VX_AUTO_EXE]}" && pwd)
  VX_AUTO_EXE=${2:-${VX_AUTO_EXE:-$_vx_auto_root/build/windows/tests/automation/vx-auto.exe}}
  VX_AUTO_SHOTS=${VX_AUTO_SHOTS:-$VX_AUTO_RUN_DIR/screenshots}
  if [ ! -f "$VX_AUTO_EXE" ]; then
    echo "auto.sh: no helper at $VX_AUTO_EXE (build the windows preset's vx-auto target)" >&2
    return 1
  fi
  if [ ! -f "$VX_AUTO_RUN_DIR/wine/env" ]; then
    echo "auto.sh: no Wine environment in $VX_AUTO_RUN_DIR (tests/wine/wine-env.sh start it first)" >&2
    return 1
  fi
  export VX_AUTO_RUN_DIR VX_AUTO_EXE VX_AUTO_SHOTS
}

vx_auto() {
  VX_BINARY_DIR="$VX_AUTO_RUN_DIR" "$_vx_auto_root/tests/wine/wine-run.sh" "$VX_AUTO_EXE" "$@"
}

vx_json() { jq -r "$1"; }

vx_wait_window() {
  vx_auto window --class "$1" --timeout "${2:-30000}" >/dev/null
}

vx_wait_tree() {
  local class=$1 count=$2 timeout=${3:-30000}
  shift 3 2>/dev/null || shift $#
  vx_auto wait --class "$class" --tree-count "$count" --timeout "$timeout" --interval 200 "$@"
}

vx_tree_lines() {
  local class=$1
  shift
  vx_auto tree --class "$class" "$@" | jq -r '.items[] | ("  " * .depth) + .text'
}

vx_screenshot() {
  local display
  display=$(sed -n 's/^DISPLAY=//p' "$VX_AUTO_RUN_DIR/wine/env")
  mkdir -p "$VX_AUTO_SHOTS"
  local shot="$VX_AUTO_SHOTS/${1:?vx_screenshot NAME}.png"
  DISPLAY="$display" import -window root "$shot" && printf '%s\n' "$shot"
}
