#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Quick when everything is present: it only calls apt-get for what is missing.
set -euo pipefail

packages=(
  # tool chain
  build-essential cmake ninja-build ccache pkg-config
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  qt6-base-dev qt6-multimedia-dev libqt6opengl6-dev libgl1-mesa-dev libglu1-mesa-dev
  zlib1g-dev libcurl4-openssl-dev libgeotiff-dev
  # fonts metric-compatible with the ones the pictures name, and a display for GUI tests
  fonts-liberation2 xvfb xauth
  # independent readers that tests run on our output, with what they need to work:
  # wmf2svg refuses every file without its fonts (only recommended by libwmf, so
  # --no-install-recommends leaves them out), the SEG-2 reader is a Python script
  pngcheck libtiff-tools libjpeg-turbo-progs libwmf-bin fonts-urw-base35 python3
  # the picture export's GIF, PCX, TGA, BMP and raw files and its EPS are read back by
  # netpbm's converters and Ghostscript
  netpbm ghostscript
  # the program's start test: window lookup and keys, screenshots of the virtual display
  xdotool x11-apps
  # pdftoppm renders the printed PDF pages the GUI tests check
  poppler-utils
  # xmllint checks the viewer XML file of the AE list; numpy reads the exported KV tables back
  libxml2-utils python3-numpy
  # ffprobe reads back the recorded AVI videos, Pillow the BMP pictures and snapshots
  ffmpeg python3-pil
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
