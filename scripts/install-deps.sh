#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing the client need.
# Only packages that are missing are installed, so a second run costs nothing.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config git
  libboost-system-dev libboost-thread-dev libboost-filesystem-dev libboost-program-options-dev
  libboost-date-time-dev libboost-chrono-dev
  libprotobuf-dev protobuf-compiler
  libcurl4-openssl-dev libssl-dev openssl ca-certificates zlib1g-dev libpng-dev
  libfreetype-dev libfontconfig-dev fontconfig
  libglfw3-dev libglew-dev libgl1-mesa-dri libgl-dev mesa-utils xvfb xauth x11-utils x11-xserver-utils libx11-dev libxrandr-dev
  imagemagick xdotool xdg-utils
  libopus-dev libspeexdsp-dev libasound2-dev alsa-utils
  rapidjson-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev ffmpeg
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pil python3-gi gir1.2-gst-rtsp-server-1.0 gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly
  gstreamer1.0-libav
  fonts-dejavu-core fonts-wqy-zenhei
  clang libclang-rt-14-dev
)
missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
