#!/bin/sh
# Makes the background clip "background.ts" behind the sign-in and machine-selection
# screens: six seconds of slowly drifting colour gradients, 1280 x 720 at 25 frames per
# second, H.264 (yuv420p) in an MPEG transport stream. Needs Debian's ffmpeg with libx264.
#
#   sh assets/tools/make_background_clip.sh [output]   (default: assets/video/background.ts)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../video/background.ts"}
mkdir -p "$(dirname "$out")"

# Two gradient layers in calm blues, blended and softened; the second drifts against the first.
ffmpeg -hide_banner -loglevel error -y \
  -f lavfi -i "gradients=s=1280x720:r=25:d=6:speed=0.004:seed=7:n=3:c0=0x0b2a4a:c1=0x1d6f8f:c2=0x123050" \
  -f lavfi -i "gradients=s=1280x720:r=25:d=6:speed=0.006:seed=21:n=2:c0=0x06304d:c1=0x2a8a9a" \
  -filter_complex "[0:v][1:v]blend=all_mode=average,gblur=sigma=12,format=yuv420p[v]" \
  -map "[v]" -c:v libx264 -preset slow -profile:v high -crf 30 -g 50 -bf 2 \
  -x264-params "no-scenecut=1" -f mpegts "$out"

echo "$out: $(wc -c < "$out") bytes"
