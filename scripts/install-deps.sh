#!/bin/sh
# Installs the Debian packages a command needs, and only those that are
# missing, so a second run costs nothing.
#
#   install-deps.sh          the game: `make run`, `make install`, `make package`
#   install-deps.sh test     the game's and the test bench's: `make test`,
#                            `make bench`, `make screenshot`, `make soak`,
#                            `make check-sanitized`
#   install-deps.sh threads  the same and clang, for `make check-threads`
#   install-deps.sh fuzz     the same and clang, for `make fuzz`
set -eu

# What building and running the game needs: the compiler and the libraries
# it links, the soundfont and the fonts it draws with, and what makes its
# icons (libpng), its hardening flags and its package (dpkg-dev, file).
# A player's own sound server plays the game: none is installed here.
GAME="
cmake make g++ pkg-config
libsdl2-dev libasound2-dev libx11-dev libxext-dev libxrandr-dev libxinerama-dev
libfreetype-dev libfontconfig-dev libpng-dev
libfluidsynth-dev timgm6mb-soundfont
fonts-liberation fonts-liberation2
dpkg-dev file
"

# What only the tests and the developer tools need: the test framework, a
# private X server with its fonts, input, screenshots and screen saver,
# private sound servers (PulseAudio and PipeWire), the window managers,
# compositors and D-Bus launcher the game is tried under, the other fonts
# the artwork is checked with, and the checkers of the package, its
# desktop files and its manual pages.
TESTS="
libgtest-dev
libxtst-dev libxfixes-dev
xvfb xauth xdotool x11-xserver-utils xfonts-base
fonts-urw-base35 fonts-dejavu-core
pulseaudio pulseaudio-utils
pipewire wireplumber pipewire-pulse
libxss-dev openbox picom weston xwayland sway dbus-x11
desktop-file-utils appstream groff-base lintian
"

CLANG="clang-14 libclang-rt-14-dev llvm-14"

case "${1:-}" in
"") PACKAGES="$GAME" ;;
test) PACKAGES="$GAME $TESTS" ;;
fuzz | threads) PACKAGES="$GAME $TESTS $CLANG" ;;
*)
    echo "usage: $0 [test | threads | fuzz]" >&2
    exit 2
    ;;
esac

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
