# Thin wrapper over the CMake presets: `make demo` and `make test` are all a
# newcomer needs on a fresh machine.
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make pkg-config python3 libasio-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
FUZZ_PACKAGES := clang libclang-rt-14-dev
# Relays that router_bench measures korvex-router against; only `make bench` needs them.
BENCH_PACKAGES := socat ser2net
# The Windows cross build and wine to run its tests; only `make windows` and
# `make wine-test` need them.
WINDOWS_PACKAGES := g++-mingw-w64-x86-64 wine wine64
FUZZ_SECONDS ?= 60
FUZZ_TARGETS := $(basename $(notdir $(wildcard fuzz/*_fuzz.cpp)))
# Numbers of pads scale_bench runs on one host thread (the full run: 10000).
SCALE_PADS ?= 1,100,1000
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build test demo asan-configure asan-test fuzz-build fuzz fuzz-long fuzz-rate bench release package clean format windows wine-test

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "installing:$$missing"; \
	  $(SUDO) apt-get update -qq && $(SUDO) DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $$missing; \
	fi

configure: deps
	cmake --preset dev

build: configure
	cmake --build --preset dev -j $(JOBS)

test: build
	ctest --preset dev -j $(JOBS)

demo: build
	./build/dev/cli/korvex demo

release: deps
	cmake --preset release && cmake --build --preset release -j $(JOBS)

# The .deb of the optimised build: library, headers, CMake and pkg-config
# files, tools. dpkg-shlibdeps (dpkg-dev) works out what it depends on.
package: release
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) dpkg-dev"
	cd build/release && cpack -G DEB

# One sanitizer build (clang, build/asan) holds both the test suite and the
# fuzz targets, so CI compiles the sources under the sanitizers only once.
asan-configure:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	cmake --preset asan

asan-test: asan-configure
	cmake --build --preset asan -j $(JOBS) && ctest --preset asan -j $(JOBS)

fuzz-build: asan-configure
	cmake --build --preset asan -j $(JOBS) --target $(FUZZ_TARGETS)

# Each fuzz target runs for FUZZ_SECONDS from its seed corpus, one per core at a time.
fuzz: fuzz-build
	fuzz/run_targets.sh -max_total_time=$(FUZZ_SECONDS)

# Every target to the executions fuzz/long_runs.txt gives it, 50 million in all.
fuzz-long: fuzz-build
	fuzz/run_targets.sh --runs-from fuzz/long_runs.txt

# Each target's executions per second on each core: the targets one after the
# other, each for FUZZ_SECONDS from its corpus on every core of FUZZ_CPUS at
# once, pinned, so that a slow reading shows whether the code or the core
# was slow.
FUZZ_CPUS ?= $(shell seq -s ' ' 0 $$(( $$(nproc) - 1 )))
fuzz-rate: fuzz-build
	FUZZ_CPUS="$(FUZZ_CPUS)" fuzz/run_targets.sh -max_total_time=$(FUZZ_SECONDS)

bench: release
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(BENCH_PACKAGES)"
	./build/release/bench/korvex_bench
	./build/release/bench/download_bench
	./build/release/bench/router_bench
	./build/release/bench/scale_bench --pads $(SCALE_PADS)

# The library DLL, korvex.exe, korvex-pinpad.exe and the test programs for
# 64-bit Windows, cross-built with mingw-w64.
windows:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(WINDOWS_PACKAGES)"
	cmake --preset windows && cmake --build --preset windows -j $(JOBS)

# The Windows test programs under wine, in a wine prefix of the build whose
# registry holds the example and test .reg files, imported by wine's regedit.
# They run in their own folder, as ctest runs them: the sources they read are
# found relative to it.
wine-test: windows
	@set -e; for f in examples/pinpads.reg tests/registry/win_registry.reg; do \
	  cmake/wine-run.sh regedit /S "$$f"; done
	@cd build/windows/tests && failed=""; for t in test_*.exe; do \
	  echo "$$t"; \
	  KORVEX_BUILD_DIR=$(CURDIR)/build/windows KORVEX_WINEPATH='Z:$(CURDIR)/build/windows' \
	    ../../../cmake/wine-run.sh "$$t" --gtest_brief=1 > "$$t.log" 2>&1 || failed="$$failed $$t"; \
	  tail -n 3 "$$t.log"; \
	done; \
	if [ -n "$$failed" ]; then echo "failed:$$failed (logs in build/windows/tests)"; exit 1; fi

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
