#!/usr/bin/env bash
# `vessix-cli.exe scan` under Wine against Wine's own TWAIN data source
# manager, with the lab scanner installed as its source: the files are checked
# with tools we did not write (qpdf, pdfinfo, pdfimages, ImageMagick).
# Usage: check-twain-scan.sh BUILD_DIR VESSIX_CLI_EXE LAB_SCANNER_DS
# Needs the wine_env fixture. Wine's manager only loads
# C:\windows\twain_64\sane.ds, so the lab scanner is copied over it for the
# run and Wine's own file is put back at the end.
set -euo pipefail
build=$(cd "$1" && pwd)
cli=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
ds=$3
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../wine-run.sh"
# shellcheck disable=SC1091
. "$build/wine/env"
sane="$WINEPREFIX/drive_c/windows/twain_64/sane.ds"
work=$(mktemp -d)
cp "$sane" "$work/sane.ds.wine"
cleanup() { cp "$work/sane.ds.wine" "$sane"; rm -rf "$work"; }
trap cleanup EXIT
cp "$ds" "$sane"
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# scan CONFIG_TEXT ARGS...: runs the command with that configuration; sets rc,
# leaves stdout in out.txt and stderr in err.txt.
scan() {
  printf '%b' "$1" >scanner.conf
  shift
  set +e
  # stderr through a pipe: it ends only when wine-run.sh's stderr filter has
  # written its last line (a plain 2>file may be read before that).
  VX_BINARY_DIR="$build" VX_LAB_SCANNER_CONFIG="Z:$work/scanner.conf" "$run" "$cli" scan "$@" 2>&1 >out.txt |
    cat >err.txt
  rc=${PIPESTATUS[0]}
  set -e
  tr -d '\r' <out.txt >out.unix && mv out.unix out.txt
}

# The source list names the lab scanner.
scan 'name = Wine Test Scanner\n' --list
[ $rc -eq 0 ] && grep -qx 'Wine Test Scanner' out.txt && ok "--list names the lab scanner" ||
  fail "--list rc=$rc: $(cat out.txt err.txt)"

# Three pages of every depth to one PDF at the asked resolution.
config='name = Wine Test Scanner\npages = 3\nsize = 100x80\nbits = 24,8,1\nresolutions = 75,150,300\ndpi = 75\n'
mkdir pdf
scan "$config" --source 'Wine Test Scanner' --format pdf --dpi 300 --target "Z:$work/pdf/Picture.pdf"
[ $rc -eq 0 ] && ok "pdf scan exit 0" || fail "pdf scan rc=$rc: $(cat err.txt)"
[ "$(grep -c '^page [123]: 1181 x 945 pixels, \(24\|8\|1\) bit(s), 300 dpi$' out.txt)" -eq 3 ] &&
  ok "one line per page" || fail "page lines: $(cat out.txt)"
grep -q 'Picture\.pdf$' out.txt && ok "the PDF is named" || fail "no PDF named: $(cat out.txt)"
qpdf --check pdf/Picture.pdf >/dev/null && ok "qpdf --check" || fail "qpdf --check"
[ "$(pdfinfo pdf/Picture.pdf | sed -n 's/^Pages: *//p')" = 3 ] && ok "three pages" || fail "pdfinfo pages"
# One pixel is one point: 100 x 80 mm at 300 dpi is 1181 x 945.
[ "$(pdfimages -list pdf/Picture.pdf | awk 'NR > 2 { print $4 "x" $5 }' | sort -u)" = 1181x945 ] &&
  ok "pictures of 1181 x 945 pixels" || fail "pictures: $(pdfimages -list pdf/Picture.pdf)"
pdfimages -j pdf/Picture.pdf pdf/img
for f in pdf/img-*.jpg; do
  d=$(identify -format '%x %y %U' "$f")
  [ "$d" = "300 300 PixelsPerInch" ] && ok "$f density $d" || fail "$f density '$d'"
done

# A source told to fail on page 2: page 1 is saved, exit 1.
mkdir fail
scan 'pages = 3\nsize = 60x40\nfail_after = 1\n' --format pdf --target "Z:$work/fail/Picture.pdf"
[ $rc -eq 1 ] && ok "failing source exit 1" || fail "failing source rc=$rc"
grep -q 'failed a transfer' err.txt && ok "the failure is named" || fail "stderr: $(cat err.txt)"
qpdf --check fail/Picture.pdf >/dev/null && [ "$(pdfinfo fail/Picture.pdf | sed -n 's/^Pages: *//p')" = 1 ] &&
  ok "page 1 saved as a one-page PDF" || fail "page 1 not saved"
mkdir failjpg
scan 'pages = 3\nsize = 60x40\nfail_after = 1\n' --format jpg --target "Z:$work/failjpg/Picture.jpg"
[ $rc -eq 1 ] && [ -f failjpg/Picture.jpg ] && [ ! -e failjpg/Picture_2.jpg ] && [ -z "$(ls failjpg/*.bmp 2>/dev/null)" ] &&
  ok "JPG group keeps page 1" || fail "JPG group rc=$rc: $(ls failjpg)"

# A BMP group at the source's own resolution, limited to two pages.
mkdir bmp
scan 'pages = 5\nsize = 50x50\nbits = 8\ndpi = 150\n' --format bmp --pages 2 --target "Z:$work/bmp/Scan"
[ $rc -eq 0 ] && [ -f bmp/Scan.bmp ] && [ -f bmp/Scan_2.bmp ] && [ ! -e bmp/Scan_3.bmp ] &&
  ok "two pages of five" || fail "bmp rc=$rc: $(ls bmp) $(cat err.txt)"
d=$(identify -units PixelsPerInch -format '%x %y %w %h' bmp/Scan_2.bmp)
awk -v d="$d" 'BEGIN { split(d, v, " "); exit !(v[1] > 149.9 && v[1] < 150.1 && v[3] == 295 && v[4] == 295) }' &&
  ok "BMP page at 150 dpi, 295 x 295" || fail "BMP page '$d'"

# Refusals: a resolution the source does not offer, an unknown source, usage.
mkdir refused
scan 'resolutions = 75,150\ndpi = 75\n' --format pdf --dpi 200 --target "Z:$work/refused/P.pdf"
[ $rc -eq 1 ] && grep -q 'does not support 200 dpi' err.txt && [ -z "$(ls refused)" ] &&
  ok "unsupported resolution refused" || fail "resolution rc=$rc: $(cat err.txt)"
scan '' --source 'No Such Scanner' --format pdf --target "Z:$work/refused/P.pdf"
[ $rc -eq 1 ] && ok "unknown source exit 1" || fail "unknown source rc=$rc"
scan '' --format tiff --target "Z:$work/refused/P.tif"
[ $rc -eq 2 ] && ok "usage exit 2" || fail "usage rc=$rc"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
