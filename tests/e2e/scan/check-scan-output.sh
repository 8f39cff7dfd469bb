#!/usr/bin/env bash
# Checks the files of `vessix-cli save-pages` with tools we did not write:
# qpdf and pdfinfo accept every PDF, pdftoppm renders each page close to its
# source (PSNR above 30 dB, measured by ImageMagick), djpeg decodes every JPEG
# and ImageMagick reads its density, ImageMagick reads every BMP with its
# resolution; bad pages fail alone; our JPEG is the one cjpeg -quality 75
# writes, apart from the density. Deterministic: every picture is drawn here.
# Usage: check-scan-output.sh VESSIX_CLI
set -euo pipefail
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# Pages of every depth a scanner delivers, from smooth to sharp.
convert -size 640x480 gradient:'#204080-#f0e0a0' -type TrueColor BMP3:p24.bmp
convert -size 480x640 xc:'#f4f4f0' -fill '#303030' -draw 'rectangle 40,40 440,70' \
  -fill '#a04020' -draw 'circle 240,320 240,420' -blur 0x1 -type TrueColor BMP3:doc.bmp
convert -size 300x200 gradient:white-black -type Grayscale BMP3:p8.bmp
convert -size 320x240 gradient:'#ff8000-#0040ff' +dither -colors 16 -type Palette BMP3:p4.bmp
convert -size 256x256 xc:white -fill black -draw 'rectangle 64,64 191,191' -monochrome BMP3:p1.bmp
convert -size 200x150 gradient:red-blue -define bmp:subtype=RGB565 BMP:p16.bmp
convert -size 200x150 gradient:green-yellow -alpha on BMP:p32.bmp
pages=(p24.bmp doc.bmp p8.bmp p4.bmp p1.bmp p16.bmp p32.bmp)

psnr_ok() {  # source rendered threshold
  local v
  v=$(compare -metric PSNR "$1" "$2" null: 2>&1 || true)
  if [ "$v" = inf ] || awk -v v="$v" 'BEGIN { exit !(v + 0 > 30) }'; then
    ok "$2 PSNR $v dB against $1"
  else
    fail "$2 PSNR $v dB against $1"
  fi
}

# PDF group.
mkdir pdf
"$cli" save-pages --format pdf --dpi 300 --target pdf/Picture.pdf "${pages[@]}" >pdf.out || fail "pdf exit $?"
[ "$(cat pdf.out)" = pdf/Picture.pdf ] || fail "pdf output: $(cat pdf.out)"
qpdf --check pdf/Picture.pdf >/dev/null && ok "qpdf --check" || fail "qpdf --check"
info=$(pdfinfo pdf/Picture.pdf) || fail "pdfinfo"
grep -q "^Pages: *${#pages[@]}$" <<<"$info" && ok "pdfinfo pages" || fail "pdfinfo pages: $info"
# Rendered at four times the page size and boxed down again: at 72 dpi the
# renderer places sharp picture edges a quarter pixel off.
pdftoppm -r 288 pdf/Picture.pdf render
for i in "${!pages[@]}"; do
  n=$((i + 1))
  src=${pages[$i]}
  size=$(identify -format '%w x %h' "$src")
  page_size=$(pdfinfo -f "$n" -l "$n" pdf/Picture.pdf | sed -n "s/^Page *$n size: *\([0-9]*\) x \([0-9]*\) pts.*/\1 x \2/p")
  [ "$page_size" = "$size" ] && ok "page $n is $size points" || fail "page $n size '$page_size' != '$size'"
  convert "$(ls render-*"$n".ppm | head -n1)" -filter box -resize 25% "render$n.ppm"
  psnr_ok "$src" "render$n.ppm"
done

# JPG group: djpeg decodes every page, ImageMagick reads 300 dpi, no BMP is left.
mkdir jpg
"$cli" save-pages --format jpg --dpi 300 --target jpg/Picture.jpg "${pages[@]}" >jpg.out || fail "jpg exit $?"
[ "$(wc -l <jpg.out)" -eq "${#pages[@]}" ] || fail "jpg output: $(cat jpg.out)"
while read -r f; do
  djpeg -outfile /dev/null "$f" && ok "djpeg $f" || fail "djpeg $f"
  d=$(identify -format '%x %y %U' "$f")
  [ "$d" = "300 300 PixelsPerInch" ] && ok "$f density $d" || fail "$f density '$d'"
done <jpg.out
ls jpg/*.bmp >/dev/null 2>&1 && fail "BMP pages left in jpg/"
psnr_ok p24.bmp jpg/Picture.jpg
# Quality 75 with libjpeg's defaults: cjpeg's file, but for the density bytes (13-17).
cjpeg -quality 75 -outfile ref.jpg p24.bmp
if cmp -s <(head -c 13 ref.jpg) <(head -c 13 jpg/Picture.jpg) &&
   cmp -s <(tail -c +19 ref.jpg) <(tail -c +19 jpg/Picture.jpg); then
  ok "same JPEG as cjpeg -quality 75"
else
  fail "JPEG differs from cjpeg -quality 75"
fi

# BMP group: ImageMagick reads the resolution (11811 pixels per metre = 300 dpi).
mkdir bmp
"$cli" save-pages --format bmp --dpi 300 --target bmp/Picture.bmp "${pages[@]}" >bmp.out || fail "bmp exit $?"
while read -r f; do
  d=$(identify -units PixelsPerInch -format '%x %y' "$f")
  awk -v x="${d% *}" -v y="${d#* }" 'BEGIN { exit !(x > 299.9 && x < 300.1 && y > 299.9 && y < 300.1) }' &&
    ok "$f resolution $d dpi" || fail "$f resolution '$d'"
done <bmp.out

# Bad pages fail alone: exit 1, the good pages are written, no PDF.
head -c 3000 p24.bmp >truncated.bmp
cp p24.bmp bits7.bmp && printf '\x07' | dd of=bits7.bmp bs=1 seek=28 conv=notrunc status=none
cp p24.bmp width0.bmp && printf '\x00\x00\x00\x00' | dd of=width0.bmp bs=1 seek=18 conv=notrunc status=none
mkdir bad
set +e
"$cli" save-pages --format jpg --dpi 200 --target bad/Picture.jpg p8.bmp truncated.bmp bits7.bmp width0.bmp p1.bmp \
  >bad.out 2>bad.err
rc=$?
"$cli" save-pages --format pdf --dpi 200 --target bad/Group.pdf p8.bmp truncated.bmp >/dev/null 2>&1
rc_pdf=$?
"$cli" save-pages --format gif --dpi 200 --target bad/x.gif p8.bmp >/dev/null 2>&1
rc_usage=$?
set -e
[ $rc -eq 1 ] && [ "$(cat bad.out)" = "$(printf 'bad/Picture.jpg\nbad/Picture_5.jpg')" ] &&
  [ "$(grep -c '^vessix-cli save-pages: page' bad.err)" -eq 3 ] && ok "bad pages rejected one by one" ||
  fail "bad pages: rc=$rc out=$(cat bad.out) err=$(cat bad.err)"
[ $rc_pdf -eq 1 ] && [ ! -e bad/Group.pdf ] && ok "no PDF with a bad page" || fail "pdf with bad page rc=$rc_pdf"
# ... but its pages are kept as BMP files where the PDF would have been.
cmp -s p8.bmp bad/Group.bmp && cmp -s truncated.bmp bad/Group_2.bmp && ok "pages of the unwritten PDF kept" ||
  fail "pages of the unwritten PDF lost"
[ $rc_usage -eq 2 ] && ok "usage error" || fail "usage rc=$rc_usage"

# A long batch keeps every page.
mkdir long
convert -size 40x30 gradient:blue-white -type TrueColor BMP3:small.bmp
"$cli" save-pages --format pdf --dpi 100 --target long/Long.pdf $(for _ in $(seq 130); do echo small.bmp; done) >/dev/null ||
  fail "long batch"
qpdf --check long/Long.pdf >/dev/null && [ "$(pdfinfo long/Long.pdf | sed -n 's/^Pages: *//p')" = 130 ] &&
  ok "130-page PDF" || fail "130-page PDF"

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
