#!/bin/sh
# `make check-sanitized`: the whole suite, the end-to-end tests of the real
# window included, built in build-sanitized/ with AddressSanitizer and
# UndefinedBehaviorSanitizer. Any report fails the test that caused it: the
# sanitizers stop the process, and a leak at exit turns its exit code
# non-zero. Leaks inside system libraries are suppressed by name, each with
# its reason, in tools/lsan.supp.
set -eu
cd "$(dirname "$0")/.."
. tools/sanitizer_env.sh
configure_sanitized_build
cmake --build "$SANITIZED_BUILD" -j "$(nproc)"
ctest --test-dir "$SANITIZED_BUILD" --output-on-failure -j "$(nproc)" "$@"
