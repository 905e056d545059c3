# Two entry points on a fresh machine: `make run` and `make test`.
# Both install the missing Debian packages first, then configure and build.

BUILD_DIR  ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)

PACKAGES := qt6-base-dev qt6-serialport-dev qt6-webengine-dev qt6-webchannel-dev \
            libjs-leaflet libgtest-dev libgmock-dev libbenchmark-dev \
            ninja-build cmake g++ xvfb dpkg-dev file libqt6sql6-sqlite \
            ccache clang libclang-rt-14-dev postgresql libqt6sql6-psql \
            libqt6svg6 lintian appstream desktop-file-utils help2man man-db bash-completion \
            libzip-dev gdal-bin

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

ASAN_DIR   ?= build-asan
FUZZ_TIME  ?= 300
FUZZ_RUNS  ?= 2000

# ccache when present: the second build of a source, in any clone, is a cache hit.
LAUNCHER := $(shell command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1

.PHONY: all deps configure build run test bench screenshot package format clean sanitize fuzz fuzz-smoke

all: build

# Installs only what is missing, so a second run starts at once.
deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	  done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update && \
	  DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@if [ ! -f $(BUILD_DIR)/build.ninja ]; then \
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(LAUNCHER); \
	fi

build: configure
	cmake --build $(BUILD_DIR) -j $(JOBS)

# The assistant with the built-in simulated device, its port already in the port field.
run: build
	$(BUILD_DIR)/src/app/tervo-assistant --demo

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS)

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks -j $(JOBS)

# The picture of the window in the README, rendered offscreen against the simulated device.
screenshot: build
	cmake --build $(BUILD_DIR) --target tervo-screenshot -j $(JOBS)
	$(BUILD_DIR)/tools/screenshot/tervo-screenshot docs/tervo-assistant.png

# The Debian package, tervo-assistant_<version>_<arch>.deb in the build folder.
package: build
	cmake --build $(BUILD_DIR) --target package

# Every test again, built by clang with AddressSanitizer and UndefinedBehaviorSanitizer in its
# own folder; any report fails the test. The fuzzers are built there too.
$(ASAN_DIR)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Sanitize \
	  -DCMAKE_CXX_FLAGS_SANITIZE="-O1 -gline-tables-only" -DTERVO_SANITIZE=ON $(LAUNCHER)

sanitize: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) -j $(JOBS)
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS)

# Each fuzzer for FUZZ_TIME seconds on a copy of its corpus (new finds stay in $(ASAN_DIR)).
fuzz: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) --target fuzzers -j $(JOBS)
	tests/fuzz/run-fuzzers $(ASAN_DIR) -max_total_time=$(FUZZ_TIME)

# The same fuzzers for a fixed number of runs each, as CI does.
fuzz-smoke: deps $(ASAN_DIR)/build.ninja
	cmake --build $(ASAN_DIR) --target fuzzers -j $(JOBS)
	tests/fuzz/run-fuzzers $(ASAN_DIR) -runs=$(FUZZ_RUNS)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR)
