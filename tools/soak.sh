#!/bin/sh
# `make soak`: the real game of the sanitizer build under random input on a
# private Xvfb for SECONDS (three minutes unless given), then Escape; see
# tools/soak.cpp for what is checked. Screenshots of a failure land in
# build-sanitized/.
#
#   tools/soak.sh [SECONDS] [SEED]
set -eu
cd "$(dirname "$0")/.."
. tools/sanitizer_env.sh
configure_sanitized_build
cmake --build "$SANITIZED_BUILD" -j "$(nproc)" --target colonnade4 colonnade4-soak
# AddressSanitizer holds freed memory back from reuse (256 MB of it by
# default), which makes the resident size climb with no leak at all; a
# smaller hold still catches a use of memory freed moments before, and
# leaves the memory check meaningful.
export ASAN_OPTIONS="$ASAN_OPTIONS:quarantine_size_mb=8"
cd "$SANITIZED_BUILD"
./colonnade4-soak "${1:-180}" ${2:+"$2"}
