#!/usr/bin/env bash
# Screenshots of the installer's controls and dialogs as Wine draws them, in English and German,
# on the test session's display with a compositing manager running, so the cover is blended over
# the window as on Windows (on a bare X display a window of constant alpha is drawn opaque).
# Then the contact sheet is drawn again with them beside the previews.
#   screenshots.sh <wine loader> <ui_gallery.exe> <out folder> <make_art.py> <art folder>
#                  <fonts folder> <contact sheet>
set -euo pipefail
wine=$1 gallery=$2 out=$3 art_script=$4 art=$5 fonts=$6 sheet=$7
: "${DISPLAY:?the display of the Wine session}"
mkdir -p "$out"
rm -f "$out"/*.png

xcompmgr >/dev/null 2>&1 &
compositor=$!
trap 'kill "$compositor" 2>/dev/null || true' EXIT
sleep 1

for lang in en_US de_DE; do
  coproc gallery_run { exec env LC_ALL="$lang.UTF-8" "$wine" "$gallery"; }
  gallery_pid=$gallery_run_PID
  shots=0
  while IFS=' ' read -r word name <&"${gallery_run[0]}"; do
    name=${name%$'\r'}
    [ "$word" = ready ] || continue
    import -window root -crop 960x600+0+0 +repage "$out/$lang-$name.png"
    shots=$((shots + 1))
    echo next >&"${gallery_run[1]}"
  done
  wait "$gallery_pid"
  [ "$shots" -eq 6 ] || { echo "$lang: $shots screens instead of 6" >&2; exit 1; }
done

# Alpha 100 of RGB(105, 120, 128) over RGB(255, 200, 0) is RGB(196, 169, 50).
probe='%[fx:int(255*p{480,300}.r+0.5)],%[fx:int(255*p{480,300}.g+0.5)],%[fx:int(255*p{480,300}.b+0.5)]'
pixel=`convert "$out/en_US-cover.png" -format "$probe" info:`
echo "cover over RGB 255,200,0: RGB $pixel"
IFS=, read -r r g b <<<"$pixel"
for pair in "$r 196" "$g 169" "$b 50"; do
  set -- $pair
  [ $(( $1 > $2 ? $1 - $2 : $2 - $1 )) -le 2 ] || { echo "the cover is not blended" >&2; exit 1; }
done

/usr/bin/python3 "$art_script" --out "$art" --fonts "$fonts" --sheet "$sheet" --shots "$out" \
  --sheet-only
echo "screenshots in $out, contact sheet $sheet"
