#!/bin/sh
# `make fuzz`: builds colonnade4-fuzz in build-fuzz/ with clang, libFuzzer,
# AddressSanitizer and UndefinedBehaviorSanitizer, then fuzzes the headless
# game from the committed corpus until it has handled EVENTS events (one
# million unless given). Inputs that reach new code gather in
# build-fuzz/corpus; a finding stops the run and leaves its input in
# build-fuzz/ as crash-*.
#
#   tools/fuzz.sh [EVENTS]
#   tools/fuzz.sh --minimise   replaces tests/fuzz/corpus with the smallest
#                              set reaching what both corpora reach
set -eu
cd "$(dirname "$0")/.."
. tools/sanitizer_env.sh
BUILD=build-fuzz

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_C_FLAGS="$SANITIZERS" -DCMAKE_CXX_FLAGS="$SANITIZERS -fsanitize=fuzzer-no-link" \
    -DCMAKE_EXE_LINKER_FLAGS="$SANITIZERS" -DCOLONNADE4_LIBFUZZER=ON > /dev/null
cmake --build "$BUILD" -j "$(nproc)" --target colonnade4-fuzz
mkdir -p "$BUILD/corpus"

if [ "${1:-}" = "--minimise" ]; then
    rm -rf "$BUILD/minimised" && mkdir "$BUILD/minimised"
    "$BUILD/colonnade4-fuzz" -merge=1 -artifact_prefix="$BUILD/" "$BUILD/minimised" tests/fuzz/corpus "$BUILD/corpus"
    rm -f tests/fuzz/corpus/*
    cp "$BUILD/minimised"/* tests/fuzz/corpus/
    echo "tests/fuzz/corpus: $(ls tests/fuzz/corpus | wc -l) inputs"
    exit 0
fi

COLONNADE4_FUZZ_EVENTS="${1:-1000000}" "$BUILD/colonnade4-fuzz" -max_len=512 -print_final_stats=1 \
    -artifact_prefix="$BUILD/" "$BUILD/corpus" tests/fuzz/corpus
