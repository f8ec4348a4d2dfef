# The front door: `make run` and `make test` on a fresh Debian machine.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release > /dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@./$(BUILD_DIR)/colonnade4

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

bench: build
	@./$(BUILD_DIR)/colonnade4-engine bench
	@./$(BUILD_DIR)/colonnade4-sprites --bench
	@./$(BUILD_DIR)/colonnade4-gamebench

clean:
	@rm -rf $(BUILD_DIR)
