#!/usr/bin/env bash
# Sets up and tears down the Wine environment of one test run:
#   wine-env.sh start BUILD_DIR   private Xvfb, private prefix (own HOME), one
#                                 persistent wineserver; writes BUILD_DIR/wine/env
#   wine-env.sh stop BUILD_DIR    ends the wineserver and the Xvfb
# The display is up before the first Wine process starts, as Wine needs it.
#
# Network safety: Wine makes every socket inside its wineserver, so the
# wineserver and every Wine process of the run live in a network namespace of
# their own with only loopback up (created here, removed by stop). The demo
# passes VX_WINE_NETNS=<lab namespace> to run them inside a lab PC instead.
# VX_WINE_DISPLAY=:N uses an existing X display instead of a private Xvfb.
# VX_WINE_HOSTNAME=name runs the run's Wine processes with that host name (a
# UTS namespace of their own): Wine takes the Windows computer name (upper-
# cased) from the host name of the first process of a wineserver session, so
# each lab PC gets its own name. wine-run.sh keeps it for later processes.
set -euo pipefail
cmd=${1:?start|stop}
build=$(cd "${2:?build dir}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
state="$build/wine"
mkdir -p "$state"
export WINEPREFIX="$state/prefix" HOME="$state/home" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

in_ns() {
  local named=()
  [ -n "${VX_WINE_HOSTNAME:-}" ] && named=(unshare --uts sh -c 'hostname "$0" && exec "$@"' "$VX_WINE_HOSTNAME")
  "${named[@]}" ip netns exec "$netns" env DISPLAY="$DISPLAY" WINEPREFIX="$WINEPREFIX" HOME="$HOME" \
    WINEDEBUG="$WINEDEBUG" WINEDLLOVERRIDES="$WINEDLLOVERRIDES" WINEARCH="$WINEARCH" "$@"
}

stop() {
  if [ -f "$state/env" ]; then
    # shellcheck disable=SC1091
    . "$state/env"
    if [ -n "${VX_NETNS:-}" ] && [ -e "/var/run/netns/$VX_NETNS" ]; then
      ip netns exec "$VX_NETNS" env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
      [ "${VX_NETNS_OWNED:-0}" = 1 ] && ip netns del "$VX_NETNS" >/dev/null 2>&1 || true
    fi
    [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" >/dev/null 2>&1 || true
    rm -f "$state/env"
  fi
}

case "$cmd" in
  stop) stop; exit 0 ;;
  start) stop ;;
  *) echo "usage: $0 start|stop BUILD_DIR" >&2; exit 2 ;;
esac

# The network namespace of this run.
if [ -n "${VX_WINE_NETNS:-}" ]; then
  netns=$VX_WINE_NETNS owned=0
  [ -e "/var/run/netns/$netns" ] || { echo "wine-env: no namespace $netns" >&2; exit 1; }
else
  netns="vxwine-$(printf '%s' "$build" | md5sum | cut -c1-8)" owned=1
  [ -e "/var/run/netns/$netns" ] || ip netns add "$netns" || {
    echo "wine-env: cannot create a network namespace (needs root)" >&2; exit 1; }
  ip -n "$netns" link set lo up
fi

xvfb_pid=
if [ -n "${VX_WINE_DISPLAY:-}" ]; then
  export DISPLAY=$VX_WINE_DISPLAY
else
  # A private X server on the first free display number from 90 on.
  n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$state/xvfb.log" 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
  done
  [ -e "/tmp/.X11-unix/X$n" ] || { echo "wine-env: Xvfb :$n did not start" >&2; cat "$state/xvfb.log" >&2; exit 1; }
  export DISPLAY=":$n"
fi

# The fake browser records every URL the program asks the shell to open.
cat >"$state/browser.sh" <<SH
#!/bin/sh
printf '%s\n' "\$*" >>"$state/browser.log"
SH
chmod +x "$state/browser.sh"

if [ ! -f "$WINEPREFIX/.vx-ready" ]; then
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$HOME"
  in_ns wineboot -i >"$state/wineboot.log" 2>&1 || { cat "$state/wineboot.log" >&2; exit 1; }
  in_ns wineserver -w
  touch "$WINEPREFIX/.vx-ready"
fi

# Wine's own fonts (Debian's fonts-wine puts them in /usr/share/wine/fonts),
# copied into the prefix's Fonts folder: this Wine loads fonts from there and
# from fontconfig only, never from its data folder. Without Marlett every
# caption button shows its glyph code as a letter ("0 1 r"); without Tahoma
# "MS Shell Dlg" falls back to a wider face. The font list is cached per
# wineserver session, so this happens before the wineserver is restarted.
wine_fonts=/usr/share/wine/fonts
if [ -f "$wine_fonts/marlett.ttf" ]; then
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -u "$wine_fonts"/*.ttf "$wine_fonts"/*.fon "$WINEPREFIX/drive_c/windows/Fonts/"
else
  echo "wine-env: $wine_fonts/marlett.ttf missing (install fonts-wine): caption buttons will show letters" >&2
fi

# One persistent wineserver inside the namespace; then Japanese text through
# the IPA font, URLs to the fake browser, unmanaged windows.
in_ns wineserver -k >/dev/null 2>&1 || true
in_ns setsid wineserver -p >/dev/null 2>&1 </dev/null || true
sed "s#@BROWSER@#$state/browser.sh#" "$here/prefix.reg.in" >"$state/prefix.reg"
in_ns wine regedit /S "$(in_ns winepath -w "$state/prefix.reg" 2>/dev/null)" >/dev/null 2>&1
: >"$state/browser.log"

cat >"$state/env" <<ENV
DISPLAY=$DISPLAY
XVFB_PID=$xvfb_pid
WINEPREFIX=$WINEPREFIX
HOME=$HOME
VX_NETNS=$netns
VX_NETNS_OWNED=$owned
VX_HOSTNAME=${VX_WINE_HOSTNAME:-}
ENV
echo "wine-env: display $DISPLAY, prefix $WINEPREFIX, network namespace $netns"
