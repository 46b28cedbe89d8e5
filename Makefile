# The two commands of the README, plus a few for developers.
PRESET ?= default
BUILD_DIR := build

.PHONY: all deps configure build run test bench clean

all: build

deps:
	@bash tools/deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	./$(BUILD_DIR)/bin/bonkbell

test: build
	@bash tools/test-session.sh ctest --preset $(PRESET)

bench: build
	@bash tools/run-benchmarks.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
