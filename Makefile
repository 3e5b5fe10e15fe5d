# Thin wrapper over CMake for the two everyday commands.
#   make run   - install what is missing, build, start Vantelo on the demo archive
#   make test  - install what is missing, build, run every suite (normal build and
#                again under AddressSanitizer + UndefinedBehaviorSanitizer, the
#                desktop suite offscreen; the engine and CLI suites under
#                ThreadSanitizer), then run each fuzz target on its seeds
#                for FUZZ_SECONDS; and the engine and CLI built for Windows, run
#                under Wine
#   make test-large - the tests that read archives beyond 4 GiB in full
#   make windows - a static vantelo-cli.exe, zipped with the README into dist/

BUILD ?= build
SANITIZE_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
WINDOWS_BUILD ?= build-windows
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
DEMO ?= tests/data/demo.zip

.PHONY: all deps configure build run test test-normal test-sanitize test-tsan test-fuzz test-large install \
        bench fuzz clean configure-windows windows test-windows

all: build

deps:
	@scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -x $(BUILD)/vantelo ]; then $(BUILD)/vantelo $(DEMO); else $(BUILD)/vantelo-cli list $(DEMO); fi

test: test-normal test-sanitize test-tsan test-fuzz test-windows

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Every suite again with the sanitizers; the desktop suite runs offscreen.
test-sanitize: deps
	@cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DVANTELO_SANITIZE=ON -DVANTELO_GUI=ON >/dev/null
	@cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The engine and CLI suites under ThreadSanitizer (no desktop: Qt is not built
# for it), at -O1 to keep the build short. A report fails the test it happens
# in (TSAN_OPTIONS set by tests/CMakeLists.txt). The installed-tree check has no
# threads to watch.
test-tsan: deps
	@cmake -S . -B $(TSAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DVANTELO_SANITIZE=thread -DVANTELO_GUI=OFF >/dev/null
	@cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && ctest --output-on-failure -j $(JOBS) -E '^InstalledTree$$'

# Tests that read archives beyond 4 GiB in full (sparse files, seconds of work each).
test-large: build
	cd $(BUILD) && VANTELO_LARGE_TESTS=1 tests/engine_tests --gtest_filter='*Large*'

# Windows: cross-built with MinGW-w64, tested under Wine (scripts/wine-run).
configure-windows: deps
	@cmake -S . -B $(WINDOWS_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null

windows: configure-windows
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target windows-zip

test-windows: configure-windows
	@cmake --build $(WINDOWS_BUILD) -j $(JOBS)
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

bench: deps
	@scripts/install-deps --extras
	@cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTELO_BENCH=ON -DVANTELO_TESTS=OFF >/dev/null
	@cmake --build build-bench -j $(JOBS)
	bench/run-all build-bench

# Each fuzz target for FUZZ_SECONDS on its seeds; what it finds on the way goes
# to a scratch folder, the seeds in the repository stay as they are.
test-fuzz: fuzz
	@for target in inflate archive; do \
	  rm -rf build-fuzz/found/$$target && mkdir -p build-fuzz/found/$$target && \
	  echo "fuzzing $$target for $(FUZZ_SECONDS) s" && \
	  build-fuzz/fuzz/$${target}_fuzzer build-fuzz/found/$$target fuzz/corpus/$$target \
	    -max_total_time=$(FUZZ_SECONDS) -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
	    -print_final_stats=1 2>build-fuzz/$$target.log || { tail -50 build-fuzz/$$target.log; exit 1; }; \
	  grep -E "stat::number_of_executed_units|Done" build-fuzz/$$target.log; \
	done

fuzz: deps
	@CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTELO_FUZZ=ON -DVANTELO_GUI=OFF -DVANTELO_TESTS=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzzers
	@echo "fuzzers in build-fuzz/fuzz; run e.g. build-fuzz/fuzz/inflate_fuzzer fuzz/corpus/inflate -max_total_time=600"

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(WINDOWS_BUILD) build-bench build-fuzz dist
