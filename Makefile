# Two entry points on a fresh machine: `make run` and `make test`.
# Both install the missing Debian packages first, then configure and build.

BUILD_DIR  ?= build
BUILD_TYPE ?= Release
JOBS       ?= $(shell nproc)

PACKAGES := qt6-base-dev qt6-serialport-dev qt6-webengine-dev qt6-webchannel-dev \
            libjs-leaflet libgtest-dev libgmock-dev libbenchmark-dev \
            ninja-build cmake g++ xvfb dpkg-dev file libqt6sql6-sqlite

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps configure build run test bench screenshot package format clean

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
	  cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); \
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

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR)
