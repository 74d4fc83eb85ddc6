#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the player need, when any is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-ipafont-gothic fonts-ipafont-mincho
  libvorbis-dev libfluidsynth-dev timgm6mb-soundfont libcdio-dev
  libavformat-dev libavcodec-dev libswscale-dev libswresample-dev
  libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev lua5.4
  libx11-dev xvfb xdotool x11-apps x11-utils openbox
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
