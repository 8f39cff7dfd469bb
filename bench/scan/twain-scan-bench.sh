#!/usr/bin/env bash
# Scan of 10 A4 pages at 300 dpi (24 bits) from the lab scanner to one PDF,
# through Wine's TWAIN manager, against the same ten pages saved by
# `vessix-cli save-pages` from BMP files: what the transfer adds beyond the
# saving itself. Both run the Windows build under Wine; best of RUNS each.
# Usage: twain-scan-bench.sh [BUILD_DIR [RUNS]]   (BUILD_DIR: build/windows)
# Starts the Wine environment of BUILD_DIR when it is not running (root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build/windows}" && pwd)
runs=${2:-3}
run="$root/tests/wine/wine-run.sh"
cli="$build/src/cli/vessix-cli.exe"
[ -f "$build/wine/env" ] || "$root/tests/wine/wine-env.sh" start "$build" >/dev/null
# shellcheck disable=SC1091
. "$build/wine/env"
sane="$WINEPREFIX/drive_c/windows/twain_64/sane.ds"
work=$(mktemp -d)
cp "$sane" "$work/sane.ds.wine"
trap 'cp "$work/sane.ds.wine" "$sane"; rm -rf "$work"' EXIT
cp "$build/lab/twain/vx-lab-scanner.ds" "$sane"
printf 'pages = 10\nsize = 210x297\nbits = 24\nresolutions = 150,300\ndpi = 150\n' >"$work/a4.conf"
export VX_BINARY_DIR="$build" VX_LAB_SCANNER_CONFIG="Z:$work/a4.conf"

seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'; }
best() { printf '%s\n' "$@" | sort -g | head -n1; }

# The scanner's pages as BMP files, for save-pages.
mkdir -p "$work/pages"
"$run" "$cli" scan --format bmp --dpi 300 --target "Z:$work/pages/Page" >/dev/null
pages=("Z:$work/pages/Page.bmp")
for n in $(seq 2 10); do pages+=("Z:$work/pages/Page_$n.bmp"); done

scan_times=() save_times=() bmp_times=() list_times=()
for i in $(seq 1 "$runs"); do
  mkdir -p "$work/out$i"
  list_times+=("$(seconds "$run" "$cli" scan --list)")
  bmp_times+=("$(seconds "$run" "$cli" scan --format bmp --dpi 300 --target "Z:$work/out$i/Bmp")")
  scan_times+=("$(seconds "$run" "$cli" scan --format pdf --dpi 300 --target "Z:$work/out$i/Scan.pdf")")
  save_times+=("$(seconds "$run" "$cli" save-pages --format pdf --dpi 300 --target "Z:$work/out$i/Saved.pdf" "${pages[@]}")")
done
scan_best=$(best "${scan_times[@]}")
save_best=$(best "${save_times[@]}")
bmp_best=$(best "${bmp_times[@]}")
list_best=$(best "${list_times[@]}")
printf 'pages: 10 x A4 at 300 dpi, 24 bits (2480 x 3508), %d runs each, best\n' "$runs"
printf 'scan --format pdf (lab scanner, Wine TWAIN manager): %.2f s  [%s]\n' "$scan_best" "${scan_times[*]}"
printf 'save-pages --format pdf (same pages from BMP files): %.2f s  [%s]\n' "$save_best" "${save_times[*]}"
printf 'ratio scan / save-pages: %.2f\n' "$(awk -v a="$scan_best" -v b="$save_best" 'BEGIN { print a / b }')"
printf 'scan --format bmp (transfer and page files only): %.2f s  [%s]\n' "$bmp_best" "${bmp_times[*]}"
printf 'scan --list (program and manager start, sources probed): %.2f s  [%s]\n' "$list_best" "${list_times[*]}"
qpdf --check "$work/out1/Scan.pdf" >/dev/null && cmp -s <(pdfimages -list "$work/out1/Scan.pdf" | tail -n +3 | awk '{print $4, $5, $6}') \
  <(pdfimages -list "$work/out1/Saved.pdf" | tail -n +3 | awk '{print $4, $5, $6}') &&
  echo "both PDFs pass qpdf and hold the same ten 2480 x 3508 pictures" || { echo "PDFs differ" >&2; exit 1; }
