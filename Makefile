# Set-up, build and run. Every target installs the Debian packages it needs when they are missing.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqt6printsupport6 \
	libgl-dev libgtest-dev libgmock-dev libbenchmark-dev libx11-dev \
	xvfb xauth xdotool x11-utils fonts-liberation fonts-dejavu-core clang-format \
	cups printer-driver-cups-pdf imagemagick poppler-utils xclip

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build run test bench format clean

all: build

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing missing packages:" $$missing; \
		$(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq --no-install-recommends $$missing; \
	fi

$(BUILD_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/quorvel-wedge-studio

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

bench: build
	@for b in $(BUILD_DIR)/*_bench; do echo "== $$b"; $$b || exit 1; done

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR)
