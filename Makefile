# The two commands a new user needs: `make run` and `make test`.
BUILD        ?= build
ASAN_BUILD   ?= build-asan
FUZZ_BUILD   ?= build-fuzz
BENCH_BUILD  ?= build-bench
FUZZ_SECONDS ?= 20
JOBS         ?= $(shell nproc)
SAMPLE       ?= tests/data/one-program.ts

.PHONY: deps build run test sanitize fuzz bench package clean

deps:
	@bash scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD) -j $(JOBS)

# The window on the sample stream; without a display, the command line shows
# the sample's packet list and its first PAT instead.
run: build
	@if [ -n "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ]; then \
	  $(BUILD)/src/app/tessaro $(SAMPLE); \
	else \
	  echo "No display (DISPLAY is not set): the sample's packet list and first PAT from tessaro-cli instead."; \
	  $(BUILD)/src/cli/tessaro-cli list $(SAMPLE) --rows 40 && \
	  $(BUILD)/src/cli/tessaro-cli tree $(SAMPLE) --offset $$($(BUILD)/src/cli/tessaro-cli find $(SAMPLE) --pid 0x0000); \
	fi

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The Debian package, in $(BUILD): install it with `apt install ./$(BUILD)/tessaro_*.deb`.
package: build
	cd $(BUILD) && cpack -G DEB

sanitize: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTESSARO_SANITIZE=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTESSARO_FUZZ=ON -DTESSARO_TESTS=OFF -DTESSARO_GUI=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers
	bash scripts/run-fuzzers.sh $(FUZZ_BUILD)/fuzz $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARO_TESTS=OFF -DTESSARO_BENCH=ON
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bash scripts/run-benchmarks.sh $(BENCH_BUILD)/bench

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD)
