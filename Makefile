# The front door: `make run` and `make test` on a fresh Debian machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
# The build tool's own "Entering directory" lines say nothing useful here.
MAKEFLAGS += --no-print-directory

.PHONY: all deps test-deps configure configure-tests build run test check-sound-load check-sanitized check-threads soak bench fuzz install package screenshot clean

all: build

# Playing, installing and packaging install only what the game needs; the
# tests and the developer tools add the test bench's packages.
deps:
	@scripts/install-deps.sh

test-deps:
	@scripts/install-deps.sh test

# A new build directory starts without the test bench, whose packages a
# player need not have; one that has the test bench keeps it.
configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release \
		$(if $(wildcard $(BUILD_DIR)/CMakeCache.txt),,-DBUILD_TESTING=OFF) > /dev/null

configure-tests: test-deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON > /dev/null

# The game, its icons and its pages: what `make install` and `make package`
# take (and the tests and tools too, once `make test` has configured them).
build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

# Only the game itself: the tests, the tools and the benches wait for
# `make test`.
run: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target colonnade4
	@./$(BUILD_DIR)/colonnade4

test: configure-tests
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

# The notes under two busy loops on each sound server, which make test runs
# once, SOUND_LOAD_RUNS times or until a run finds a gap.
SOUND_LOAD_RUNS ?= 10
check-sound-load: configure-tests
	@cmake --build $(BUILD_DIR) -j $(JOBS)
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -R UnderLoad --repeat until-fail:$(SOUND_LOAD_RUNS)

bench: configure-tests
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target colonnade4-engine colonnade4-sprites colonnade4-gamebench
	@./$(BUILD_DIR)/colonnade4-engine bench
	@./$(BUILD_DIR)/colonnade4-sprites --bench
	@./$(BUILD_DIR)/colonnade4-gamebench
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target colonnade4-soundbench && ./$(BUILD_DIR)/colonnade4-soundbench

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-sanitized/), the real window's end-to-end tests included.
check-sanitized: test-deps
	@tools/check_sanitized.sh

# The whole suite built with clang's ThreadSanitizer (build-threads/), the
# real window's end-to-end tests included; every report fails its test.
check-threads:
	@scripts/install-deps.sh threads
	@tools/check_threads.sh

# The real window of the sanitizer build under random input for
# SOAK_SECONDS, then Escape: no crash, no report, no leak, flat memory, and
# a score panel that counts the games that ended.
SOAK_SECONDS ?= 180
soak: test-deps
	@tools/soak.sh $(SOAK_SECONDS)

# A million fuzzed events on the headless game (clang, libFuzzer and the
# sanitizers, in build-fuzz/); `make fuzz EVENTS=...` for another count.
EVENTS ?= 1000000
fuzz:
	@scripts/install-deps.sh fuzz
	@tools/fuzz.sh $(EVENTS)

# `make install PREFIX=$HOME/.local`; DESTDIR=... stages the files
# elsewhere, as packagers do. The prefix is given to the install step only,
# so the build stays as it was configured (and `make package` still makes
# a package for /usr). Under /usr the game goes to /usr/games; under any
# other prefix to its bin, named in full by the desktop entry.
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix "$(PREFIX)" --strip

# The Debian package: $(BUILD_DIR)/colonnade4_<version>_<arch>.deb
package: build
	@cmake --build $(BUILD_DIR) --target package

# The README's picture, docs/screenshot.png, from the real game.
screenshot: configure-tests
	@cmake --build $(BUILD_DIR) -j $(JOBS) --target colonnade4-screenshot
	@./$(BUILD_DIR)/colonnade4-screenshot docs/screenshot.png

clean:
	@rm -rf $(BUILD_DIR) build-sanitized build-fuzz build-threads
