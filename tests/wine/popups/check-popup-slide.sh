#!/usr/bin/env bash
# Wine test of the notification popup: vx-popup-slide.exe shows a popup with
# the program's own window and holds its slide at chosen steps; the screen is
# captured at the start, in the middle and at the end of the slide and once a
# second popup has risen above the first. Each screenshot is checked where
# the popup's title bar must be (its light top line, column by column), and
# the window's final place is read with vx-auto; the close button shows its
# highlighted picture under the pointer.
# Usage: check-popup-slide.sh BUILD_DIR VX_POPUP_SLIDE_EXE VX_AUTO_EXE
# Screenshots: BUILD_DIR/popups/screenshots/popup-*.png
set -euo pipefail
build=$(cd "$1" && pwd)
exe=$2
auto_exe=$3
here=$(cd "$(dirname "$0")" && pwd)
export VX_AUTO_SHOTS="$build/popups/screenshots"
# shellcheck source=../../e2e/lib/auto.sh
. "$here/../../e2e/lib/auto.sh"
vx_auto_init "$build" "$auto_exe"
mkdir -p "$VX_AUTO_SHOTS"
rm -f "$VX_AUTO_SHOTS"/popup-*.png

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# The first row of the title bar (light line, #BED7F5) in the popup's width.
BAR_LINE='#BED7F5'
# bar_rows SHOT X: the rows of column X where a title bar's top line is.
bar_rows() {
  local height
  height=$(identify -format '%h' "$1")
  convert "$1" -crop "1x${height}+$2+0" +repage txt:- |
    awk -v c="$BAR_LINE" 'index($0, c) { split($1, p, "[,:]"); printf "%s ", p[2] }'
}

coproc SLIDE { VX_BINARY_DIR="$build" "$here/../wine-run.sh" "$exe" --pause-at 0,10,51 --second "印刷中…" 2>&1; }
slide_out=${SLIDE[0]}
slide_in=${SLIDE[1]}
trap 'kill "$SLIDE_PID" 2>/dev/null || true' EXIT

# next_line: the next line of the program's protocol into $line (others are shown).
next_line() {
  while IFS= read -r -t 120 -u "$slide_out" line; do
    line=${line%$'\r'}
    case $line in
      workarea* | slot* | pause* | end* | hover* | second*) return 0 ;;
      *) echo "(vx-popup-slide) $line" >&2 ;;
    esac
  done
  echo "FAIL: vx-popup-slide ended or stopped talking" >&2
  exit 1
}
go_on() { echo >&"$slide_in"; }

next_line; read -r _ wl wt wr wb <<<"$line"
echo "work area: $wl,$wt - $wr,$wb"
next_line; [ "$line" = "slot 0" ] && ok "shown in slot 0" || fail "$line"
left=$((wr - 254 - 16))
final_top=$((wb - 204))
column=$((left + 150))

# shot_at STEP NAME: the program holds at STEP; checks its place and the screenshot.
shot_at() {
  local step=$1 name=$2 top shot rows
  next_line; read -r _ s x top <<<"$line"
  [ "$s" = "$step" ] || fail "held at step $s, not $step"
  [ "$x" = "$left" ] || fail "step $step: left $x, not $left"
  [ "$top" = $((wb - 2 * step)) ] && ok "step $step: top $top" || fail "step $step: top $top, not $((wb - 2 * step))"
  shot=$(vx_screenshot "$name")
  rows=$(bar_rows "$shot" "$column")
  if [ $((top + 2)) -lt "$(identify -format '%h' "$shot")" ]; then
    [ "$rows" = "$((top + 2)) " ] && ok "$name: title bar at row $((top + 2))" || fail "$name: title bar rows '$rows', not $((top + 2))"
  else
    [ -z "$rows" ] && ok "$name: below the screen's edge, not drawn" || fail "$name: title bar rows '$rows'"
  fi
  echo "screenshot: $shot"
  go_on
}

shot_at 0 popup-slide-start
shot_at 10 popup-slide-early
shot_at 51 popup-slide-mid

next_line; read -r _ steps el et er eb <<<"$line"
[ "$steps" = 102 ] && ok "102 steps of 2 pixels" || fail "$steps steps"
[ "$el $et $er $eb" = "$left $final_top $((left + 254)) $wb" ] &&
  ok "ends at $el,$et - $er,$eb: the bottom right of the work area" || fail "ends at $el,$et - $er,$eb"
# The window's place as another process sees it.
rect=$(vx_auto window --class TMsgBox --timeout 10000 | vx_json '.rect | "\(.left) \(.top) \(.right) \(.bottom)"')
[ "$rect" = "$el $et $er $eb" ] && ok "vx-auto reads the same rectangle" || fail "vx-auto reads $rect"
shot_at 102 popup-slide-end

# The pointer on the close button: picture 1 (red face) instead of picture 0 (blue).
next_line; read -r _ bx by <<<"$line"
[ "$bx $by" = "$((left + 228)) $((final_top + 6))" ] && ok "close button at $bx,$by" || fail "close button at $bx,$by"
shot=$(vx_screenshot popup-hover)
face=$(convert "$shot" -format "%[hex:p{$((bx + 2)),$((by + 2))}]" info:)
before=$(convert "$VX_AUTO_SHOTS/popup-slide-end.png" -format "%[hex:p{$((bx + 2)),$((by + 2))}]" info:)
[ "$face" = D74637 ] && [ "$before" = 466EAF ] && ok "highlighted close picture under the pointer" ||
  fail "close button face $face (before $before)"
echo "screenshot: $shot"
go_on

next_line; read -r _ slot2 x2 t2 <<<"$line"
[ "$slot2 $x2 $t2" = "1 $left $((wb - 408))" ] && ok "a second popup in slot 1 above the first" ||
  fail "second popup: $line"
next_line
shot=$(vx_screenshot popup-stack)
rows=$(bar_rows "$shot" "$column")
[ "$rows" = "$((wb - 408 + 2)) $((final_top + 2)) " ] && ok "popup-stack: two title bars" || fail "popup-stack rows '$rows'"
echo "screenshot: $shot"
go_on

wait "$SLIDE_PID" && rc=0 || rc=$?
trap - EXIT
[ "$rc" -eq 0 ] && ok "vx-popup-slide exit 0" || fail "vx-popup-slide exit $rc"
if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed; screenshots in $VX_AUTO_SHOTS"
