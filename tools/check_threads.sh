#!/bin/sh
# `make check-threads`: the whole suite, the end-to-end tests of the real
# window included, built in build-threads/ with clang's ThreadSanitizer.
# Every report is fatal (the process ends with exit code 66), so a race
# fails the test that ran into it, also inside the game started by an
# end-to-end test. Reports that are known to be wrong are suppressed by
# name, each with its reason, in tools/tsan.supp.
set -eu
cd "$(dirname "$0")/.."
BUILD=build-threads
THREADS="-fsanitize=thread -fno-omit-frame-pointer"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$(pwd)/tools/tsan.supp"

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS="$THREADS" -DCMAKE_CXX_FLAGS="$THREADS" \
    -DCMAKE_EXE_LINKER_FLAGS="$THREADS" > /dev/null
cmake --build "$BUILD" -j "$(nproc)"
ctest --test-dir "$BUILD" --output-on-failure -j "$(nproc)" "$@"
