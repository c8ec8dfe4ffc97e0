# Thin wrapper over the CMake presets: `make demo` and `make test` are all a
# newcomer needs on a fresh machine.
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make libasio-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
FUZZ_PACKAGES := clang libclang-rt-14-dev
# Relays that router_bench measures korvex-router against; only `make bench` needs them.
BENCH_PACKAGES := socat ser2net
FUZZ_SECONDS ?= 60
# Numbers of pads scale_bench runs on one host thread (the full run: 10000).
SCALE_PADS ?= 1,100,1000
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build test demo asan-test fuzz bench release clean format

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

asan-test: deps
	cmake --preset asan && cmake --build --preset asan -j $(JOBS) && ctest --preset asan -j $(JOBS)

# Each fuzz target runs for FUZZ_SECONDS from its seed corpus.
fuzz:
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(FUZZ_PACKAGES)"
	cmake --preset fuzz && cmake --build --preset fuzz -j $(JOBS)
	@set -e; for t in build/fuzz/fuzz/*_fuzz; do \
	  name=$$(basename $$t _fuzz); mkdir -p build/fuzz/corpus/$$name; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS)s"; \
	  if ! $$t -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 build/fuzz/corpus/$$name \
	       fuzz/corpus/$$name > build/fuzz/$$name.log 2>&1; then \
	    tail -n 60 build/fuzz/$$name.log; exit 1; fi; \
	  tail -n 4 build/fuzz/$$name.log; \
	done

bench: release
	@$(MAKE) --no-print-directory deps PACKAGES="$(PACKAGES) $(BENCH_PACKAGES)"
	./build/release/bench/korvex_bench
	./build/release/bench/download_bench
	./build/release/bench/router_bench
	./build/release/bench/scale_bench --pads $(SCALE_PADS)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
