# The two commands of the README, plus a few for developers.
PRESET ?= default
BUILD_DIR := build

.PHONY: all deps configure build run test bench demo package clean format

all: build

deps:
	@bash tools/deps.sh

configure: deps
	@cmake --preset $(PRESET) >/dev/null

build: configure
	@cmake --build --preset $(PRESET)

run: build
	./$(BUILD_DIR)/bin/bonkbell

# The tree's layout first (tools/format.sh lays it out), then every test in one tree built under
# AddressSanitizer and UndefinedBehaviorSanitizer (build-test/), then a short fuzzing run per
# target (TEST_FUZZ_SECONDS=0 leaves it out).
TEST_FUZZ_SECONDS ?= 30
test: deps
	@bash tools/format.sh --check
	@cmake --preset test >/dev/null
	@cmake --build --preset test
	@bash tools/test-session.sh ctest --preset test
	@if [ "$(TEST_FUZZ_SECONDS)" != 0 ]; then bash tools/fuzz.sh $(TEST_FUZZ_SECONDS); fi

bench: build
	@bash tools/deps.sh bench
	@bash tools/test-session.sh bash tools/run-benchmarks.sh $(BUILD_DIR)

# libFuzzer targets, built by clang in build-fuzz/; FUZZ_SECONDS per target.
FUZZ_SECONDS ?= 60
.PHONY: fuzz
fuzz: deps
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

# Screenshots of the running app on a private X display, written to docs/.
demo: build
	@bash tools/test-session.sh bash tools/demo.sh $(BUILD_DIR)

# A .deb in build/.
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

format:
	@bash tools/format.sh

clean:
	rm -rf $(BUILD_DIR) build-test build-fuzz
