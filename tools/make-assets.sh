#!/usr/bin/env bash
# Makes the pictures and sounds that Tarvex ships, from nothing but text and
# tones: map previews, the built-in emblem, the score-table picture, the
# animated logo and the button sounds. Needs ImageMagick 6 and sox (Debian:
# apt-get install imagemagick sox fonts-dejavu-core). The results are committed;
# run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")/.."
IM=/usr/bin/convert
FONT=DejaVu-Sans-Bold
mkdir -p data/Map_Images

# Map previews: 150 x 150, the map's name on a colour of its kind.
preview() { # name colour
  "$IM" -size 150x150 "gradient:$2-black" -gravity center \
    -stroke '#ffffff40' -strokewidth 1 -fill none -draw "circle 75,75 75,18" \
    -stroke none -fill white -font "$FONT" -pointsize 17 -annotate +0-8 "$1" \
    -pointsize 10 -fill '#ffffffb0' -annotate +0+16 "$3" -quality 88 "data/Map_Images/$1.jpg"
}
for m in hm_borg1 hm_borg2 hm_borg3 hm_cam hm_dn1 hm_dn2 hm_for1 hm_kln1 hm_noon hm_scav1 hm_voy1 hm_voy2; do
  preview "$m" '#2a4f8f' 'HOLOMATCH'
done
for m in ctf_and1 ctf_kln1 ctf_kln2 ctf_voy1 ctf_voy2; do
  preview "$m" '#8f2a2a' 'CAPTURE THE FLAG'
done

# The emblem shown before a map is clicked, also the window icon: 150 x 150, a
# delta-like badge, uncompressed (binary PPM) as the score-table picture is.
"$IM" -size 150x150 radial-gradient:'#1d2f55'-black \
  -fill '#c9a640' -stroke '#f2dc8a' -strokewidth 2 -draw "polygon 75,14 118,128 75,104 32,128" \
  -fill none -stroke '#f2dc8a' -draw "circle 75,80 75,12" \
  -stroke none -fill white -font "$FONT" -pointsize 14 -gravity south -annotate +0+6 'TARVEX' \
  -depth 8 src/ui/emblem.ppm

# The score-table picture of the "Server" tab (553 x 175), kept uncompressed
# (binary PPM) so that showing it takes no decoding.
"$IM" -size 553x175 gradient:'#0b1a33'-'#02060d' -font "$FONT" -fill '#e8c860' -pointsize 18 \
  -annotate +16+28 'HOLOMATCH  -  SCORES' -font DejaVu-Sans-Mono-Bold -fill '#9fb7e0' -pointsize 13 \
  -annotate +16+56 'PLAYER     FRAGS   TIME   PING' -fill white \
  -annotate +16+80 'Tuvok         31     14     42' \
  -annotate +16+100 'Seven         27     14     57' \
  -annotate +16+120 'Munro         22     13     64' \
  -annotate +16+140 'Chell         15     12     88' \
  -stroke '#e8c860' -draw "line 16,64 537,64" -depth 8 src/ui/scoretable.ppm

# The animated logo: 369 x 57 frames reading "Tarvex", with different delays.
tmp=$(mktemp -d)
i=0
for glow in 30 55 80 100 80 55; do
  "$IM" -size 369x57 xc:black -font "$FONT" -pointsize 40 -gravity center \
    -fill "rgb($((glow*2)),$((glow*2)),$((120+glow)))" -annotate +0+0 'Tarvex' "$tmp/f$i.gif"
  i=$((i+1))
done
"$IM" -delay 120 "$tmp/f0.gif" -delay 12 "$tmp/f1.gif" "$tmp/f2.gif" -delay 90 "$tmp/f3.gif" \
  -delay 12 "$tmp/f4.gif" "$tmp/f5.gif" -loop 0 data/tx.gif
rm -rf "$tmp"

# Button sounds: short and distinct; the launch sound a little longer.
tone() { sox -q -D -n -r 22050 -c 1 -b 16 "data/$1" synth "${@:2}" ; }
tone button1.wav 0.08 sine 880 fade 0 0.08 0.04 vol 0.5
tone button2.wav 0.09 sine 660 fade 0 0.09 0.05 vol 0.5
tone button3.wav 0.10 sine 990:1320 fade 0 0.10 0.05 vol 0.45
tone button4.wav 0.12 sine 523 sine 784 fade 0 0.12 0.06 vol 0.45
tone button5.wav 0.10 sine 1320:880 fade 0 0.10 0.05 vol 0.45
tone button7.wav 0.14 triangle 440 fade 0 0.14 0.07 vol 0.5
tone cfiles.wav 0.35 sine 392:784 fade 0 0.35 0.15 vol 0.4
tone stegize.wav 0.9 sine 196:1568 fade 0.05 0.9 0.4 vol 0.45
