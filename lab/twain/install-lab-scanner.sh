#!/usr/bin/env bash
# Installs the lab scanner into a Wine prefix as the source Wine's TWAIN
# manager loads (C:\windows\twain_64\sane.ds), keeping Wine's own file as
# sane.ds.wine; `--remove` puts it back. An optional configuration file is
# copied beside it as sane.ds.conf (read when VX_LAB_SCANNER_CONFIG is unset).
# Usage: install-lab-scanner.sh WINEPREFIX LAB_SCANNER_DS [CONFIG]
#        install-lab-scanner.sh --remove WINEPREFIX
set -euo pipefail
if [ "${1:-}" = --remove ]; then
  dir="${2:?WINEPREFIX}/drive_c/windows/twain_64"
  [ -f "$dir/sane.ds.wine" ] && mv "$dir/sane.ds.wine" "$dir/sane.ds"
  rm -f "$dir/sane.ds.conf"
  exit 0
fi
dir="${1:?WINEPREFIX}/drive_c/windows/twain_64"
ds=${2:?LAB_SCANNER_DS}
[ -d "$dir" ] || { echo "install-lab-scanner: no $dir (not a 64-bit Wine prefix?)" >&2; exit 1; }
[ -f "$dir/sane.ds.wine" ] || cp "$dir/sane.ds" "$dir/sane.ds.wine"
cp "$ds" "$dir/sane.ds"
if [ -n "${3:-}" ]; then cp "$3" "$dir/sane.ds.conf"; else rm -f "$dir/sane.ds.conf"; fi
echo "lab scanner installed in $dir"
