#!/usr/bin/env bash
# Wine test of the shell library tests/e2e/lib/auto.sh with vx-auto.exe,
# against a program of another process that has a tree view and a menu:
# Wine's own registry editor, started in the run's prefix.
#   auto_sh_test.sh BUILD_DIR VX_AUTO_EXE
set -euo pipefail
build=$1 exe=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../e2e/lib/auto.sh
. "$here/../e2e/lib/auto.sh"
vx_auto_init "$build" "$exe"
fail() { echo "FAIL: $*"; exit 1; }

VX_BINARY_DIR="$build" setsid "$here/../wine/wine-run.sh" regedit >/dev/null 2>&1 </dev/null &
editor=$!
trap 'kill "$editor" 2>/dev/null || true' EXIT

vx_wait_window RegEdit_RegEdit 30000 || fail "the registry editor's window did not appear"
out=$(vx_wait_tree RegEdit_RegEdit 5 30000) || fail "its tree stayed short: $out"
lines=$(vx_tree_lines RegEdit_RegEdit)
echo "$lines"
grep -qx '  HKEY_LOCAL_MACHINE' <<<"$lines" || fail "no HKEY_LOCAL_MACHINE one level down"

# A node by path, selected, and its state read back.
vx_auto tree-select --class RegEdit_RegEdit --node '*' --node HKEY_CURRENT_USER >/dev/null ||
  fail "tree-select refused"
selected=$(vx_auto tree --class RegEdit_RegEdit | vx_json '[.items[] | select(.selected)] | .[0].text')
[ "$selected" = HKEY_CURRENT_USER ] || fail "selected is \"$selected\""

# The menu is read inside the editor's process.
exit_item=$(vx_auto menu --class RegEdit_RegEdit | vx_json '.items[] | select(.path == ["Registry", "Exit"]) | .enabled')
[ "$exit_item" = true ] || fail "no enabled Registry > Exit item"

# Exit codes for scripts: time-out 1, usage 2.
rc=0; vx_auto window --class NoSuchWindowClass --timeout 100 >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 1 ] || fail "a missing window gave $rc"
rc=0; vx_auto tree >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 2 ] || fail "a usage error gave $rc"

shot=$(vx_screenshot auto-sh-regedit) || fail "no screenshot"
[ -s "$shot" ] || fail "empty screenshot $shot"

vx_auto menu-click --class RegEdit_RegEdit --item Registry --item Exit >/dev/null || fail "menu-click refused"
vx_auto wait --class RegEdit_RegEdit --gone --timeout 30000 >/dev/null || fail "the editor did not close"
echo "PASS"
