# Set-up, build and run. Every target installs the Debian packages it needs when they are missing.
BUILD_DIR ?= build
# The same tests again with AddressSanitizer and UndefinedBehaviorSanitizer; with clang, also the
# libFuzzer targets.
ASAN_DIR ?= build-asan
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
PREFIX ?= /usr/local
# `make deb` builds the Debian package from a clean copy of the tree here; the .deb lands in it.
DEB_DIR ?= build-deb

PACKAGES := cmake g++ make pkg-config qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-svg-dev \
	libgl-dev libxcb1-dev libgtest-dev libgmock-dev libbenchmark-dev libx11-dev \
	xvfb xauth xdotool x11-utils fonts-liberation fonts-dejavu-core clang-format \
	cups printer-driver-cups-pdf imagemagick poppler-utils \
	clang libclang-rt-14-dev libxfixes-dev desktop-file-utils xclip openbox qt6-wayland
# The end of a session under the program: libICE for the program, libSM and Weston for the tests.
PACKAGES += libice-dev libsm-dev weston
# The install test checks the metainfo and the manual page with the tools that read them.
PACKAGES += appstream groff-base
# The fault tests set ACL entries and extended attributes on the files a save replaces.
PACKAGES += acl attr
# Qt's own translations for its dialogs; a headless Wayland compositor with a virtual keyboard
# and screenshots for the Wayland end-to-end test.
PACKAGES += qt6-translations-l10n sway wtype grim

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: all deps build asan run test fuzz bench install deb format clean

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
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWS_WERROR=ON

build: deps $(BUILD_DIR)/CMakeCache.txt
	cmake --build $(BUILD_DIR) -j $(JOBS)

$(ASAN_DIR)/CMakeCache.txt: | deps
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQWS_WERROR=ON -DQWS_SANITIZE=ON \
		-DQWS_BENCHMARKS=OFF -DCMAKE_CXX_COMPILER=$$(command -v clang++ || command -v g++)

asan: deps $(ASAN_DIR)/CMakeCache.txt
	cmake --build $(ASAN_DIR) -j $(JOBS)

run: build
	$(BUILD_DIR)/quorvel-wedge-studio

test: build asan
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300
	cd $(ASAN_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 300

# Each fuzz target for FUZZ_SECONDS from its seeds; what it finds stays in $(ASAN_DIR)/fuzz/.
fuzz: asan
	@mkdir -p $(ASAN_DIR)/fuzz/artifacts
	@for f in $(ASAN_DIR)/fuzz/*_fuzz; do \
		name=$$(basename $$f _fuzz); log=$(ASAN_DIR)/fuzz/$$name.log; \
		mkdir -p $(ASAN_DIR)/fuzz/work/$$name; \
		dict=; [ -f fuzz/$$name.dict ] && dict=-dict=fuzz/$$name.dict; \
		echo "== $$name, $(FUZZ_SECONDS) s (log: $$log)"; \
		$$f -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
			-artifact_prefix=$(ASAN_DIR)/fuzz/artifacts/$$name- $$dict \
			$(ASAN_DIR)/fuzz/work/$$name fuzz/corpus/$$name > $$log 2>&1; rc=$$?; \
		grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|^replayed' $$log; \
		[ $$rc = 0 ] || { tail -n 60 $$log; exit $$rc; }; \
	done

install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD_DIR) --prefix $(PREFIX)

bench: build
	@for b in $(BUILD_DIR)/*_bench; do echo "== $$b"; $$b || exit 1; done

# The package is built by Debian's tools from what git holds (uncommitted changes included), so
# nothing of a local build can slip into it; lintian must find no error and no warning.
deb:
	@$(MAKE) --no-print-directory deps PACKAGES="debhelper devscripts lintian"
	dpkg-checkbuilddeps 2>/dev/null || { $(SUDO) apt-get update -qq && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get build-dep -y -qq --no-install-recommends ./; }
	rm -rf $(DEB_DIR) && mkdir -p $(DEB_DIR)/quorvel-wedge-studio
	tree=$$(git stash create) && git archive --format=tar $${tree:-HEAD} | \
		tar -x -C $(DEB_DIR)/quorvel-wedge-studio
	cd $(DEB_DIR)/quorvel-wedge-studio && dpkg-buildpackage -us -uc -b -J$(JOBS)
	lintian --fail-on error,warning $(DEB_DIR)/*.changes
	@ls -l $(DEB_DIR)/*.deb

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD_DIR) $(ASAN_DIR) $(DEB_DIR)
