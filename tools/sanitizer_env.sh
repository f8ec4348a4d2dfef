# Sourced by the scripts that build and run with the sanitizers: the flags,
# the options that make every report fatal and every leak count, and the
# configuration of build-sanitized/.
SANITIZERS="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
SUPPRESSIONS="$(pwd)/tools/lsan.supp"
export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:strict_init_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$SUPPRESSIONS:print_suppressions=0"
SANITIZED_BUILD=build-sanitized

configure_sanitized_build() {
    cmake -S . -B "$SANITIZED_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS="$SANITIZERS" -DCMAKE_CXX_FLAGS="$SANITIZERS" \
        -DCMAKE_EXE_LINKER_FLAGS="$SANITIZERS" > /dev/null
}
