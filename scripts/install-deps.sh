#!/bin/sh
# Installs the Debian packages that building, running and testing the game
# need, and only those that are missing, so a second run costs nothing.
# `install-deps.sh fuzz` adds the compiler and runtime of `make fuzz`.
set -eu

PACKAGES="
cmake make g++ pkg-config
libsdl2-dev libasound2-dev libx11-dev libxext-dev libxtst-dev libxfixes-dev
libfreetype-dev libfontconfig-dev libpng-dev
libfluidsynth-dev timgm6mb-soundfont
fonts-liberation fonts-liberation2 fonts-urw-base35 fonts-dejavu-core xfonts-base
libgtest-dev
xvfb xauth xdotool
pulseaudio pulseaudio-utils
desktop-file-utils appstream dpkg-dev file groff-base
"
if [ "${1:-}" = "fuzz" ]; then PACKAGES="$PACKAGES clang-14 libclang-rt-14-dev"; fi

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

[ -z "$missing" ] && exit 0

echo "Installing missing packages:$missing"
if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q || true
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
