#!/bin/sh
# Installs the Debian packages that building, running and testing the game
# need, and only those that are missing, so a second run costs nothing.
# `install-deps.sh fuzz` adds the compiler and runtime of `make fuzz`, and
# `install-deps.sh threads` the same for `make check-threads`.
set -eu

PACKAGES="
cmake make g++ pkg-config
libsdl2-dev libasound2-dev libx11-dev libxext-dev libxtst-dev libxfixes-dev libxrandr-dev libxinerama-dev
libfreetype-dev libfontconfig-dev libpng-dev
libfluidsynth-dev timgm6mb-soundfont
fonts-liberation fonts-liberation2 fonts-urw-base35 fonts-dejavu-core xfonts-base
libgtest-dev
xvfb xauth xdotool x11-xserver-utils
pulseaudio pulseaudio-utils
libxss-dev openbox picom weston xwayland sway dbus-x11
desktop-file-utils appstream dpkg-dev file groff-base
"
case "${1:-}" in fuzz | threads) PACKAGES="$PACKAGES clang-14 libclang-rt-14-dev llvm-14" ;; esac

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
