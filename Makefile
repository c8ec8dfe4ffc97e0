# Thin wrapper over the CMake presets: `make demo` and `make test` are all a
# newcomer needs on a fresh machine.
JOBS ?= $(shell nproc)
PACKAGES := cmake g++ make libasio-dev libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps configure build test demo asan-test release clean format

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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
