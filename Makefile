# Lumivane — build, test and run entry points. Every target installs what is missing first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)
PACKAGES := build-essential cmake pkg-config zlib1g-dev libgtest-dev libgmock-dev \
  libminizip-dev libcurl4-openssl-dev libssl-dev libfmt-dev qt6-base-dev qt6-multimedia-dev \
  qt6-speech-dev qt6-declarative-dev qt6-translations-l10n dpkg-dev socat unzip openssl \
  python3-pyftpdlib iproute2 xvfb ccache ninja-build \
  libmicrohttpd-dev chromium \
  fonts-droid-fallback fonts-noto-mono fonts-urw-base35
ARGS ?=
# Ninja for a new build folder (it starts faster and keeps both cores busy); a folder
# already configured keeps its generator.
generator = $(if $(wildcard $(1)/CMakeCache.txt),,-G Ninja)

.PHONY: deps build run test test-asan test-tsan bench soak demo package fuzz clean

# The fonts are other than the default ones so that the window's layout tests show it
# fits a laptop whatever fonts are installed there.
# Idempotent: asks apt only for the packages that are not installed yet.
deps:
	@missing=$$(for p in $(PACKAGES); do dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed' || echo $$p; done); \
	if [ -n "$$missing" ]; then \
	  echo "Installing:" $$missing; \
	  $(SUDO) apt-get update -qq && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq $$missing; \
	fi

build: deps
	cmake -S . -B build $(call generator,build) -DCMAKE_BUILD_TYPE=Release >/dev/null
	cmake --build build -j $(JOBS)

run: build
	./build/lumivane $(if $(DISPLAY)$(WAYLAND_DISPLAY),,--headless) $(ARGS)

# Most tests wait on sockets, simulators and time-outs rather than compute: five per
# core keep the cores busy (the suite is then as long as its longest test, about a minute).
TEST_JOBS ?= $(shell echo $$(( $(JOBS) * 5 )))

test: build
	cd build && ctest --output-on-failure -j $(TEST_JOBS)

test-asan: deps
	cmake -S . -B build-asan $(call generator,build-asan) -DCMAKE_BUILD_TYPE=Debug -DLUMIVANE_SANITIZE=address -DLUMIVANE_BENCH=OFF -DLUMIVANE_UNITY=OFF >/dev/null
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j $(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan $(call generator,build-tsan) -DCMAKE_BUILD_TYPE=Debug -DLUMIVANE_SANITIZE=thread -DLUMIVANE_BENCH=OFF -DLUMIVANE_UNITY=OFF -DLUMIVANE_GUI=OFF >/dev/null
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j $(JOBS)

# Every parser of outside input under libFuzzer with ASan and UBSan, FUZZ_SECONDS each
# (FUZZ_TARGETS="json settings" for some of them); built with clang in build-fuzz.
FUZZ_SECONDS ?= 60
FUZZ_TARGETS ?=
FUZZ_FLAGS := -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer
fuzz: deps
	@command -v clang++ >/dev/null || DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y -qq clang
	cmake -S . -B build-fuzz $(call generator,build-fuzz) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
	  -DCMAKE_CXX_COMPILER=clang++ \
	  -DCMAKE_CXX_FLAGS="$(FUZZ_FLAGS)" -DLUMIVANE_FUZZ=ON -DLUMIVANE_TESTS=OFF -DLUMIVANE_BENCH=OFF \
	  -DLUMIVANE_GUI=OFF $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
	cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	./tools/fuzz/run_fuzz.sh build-fuzz $(FUZZ_SECONDS) $(FUZZ_TARGETS)

# Among the benchmarks the soak runs BENCH_SOAK_SECONDS; on its own (`make soak`) a day.
BENCH_SOAK_SECONDS ?= 120
SOAK_SECONDS ?= 86400
bench: build
	cmake --build build -j $(JOBS) --target benches
	@for b in build/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; echo "== $$b"; \
	  LUMIVANE_SOAK_SECONDS=$(BENCH_SOAK_SECONDS) $$b || exit 1; done

# A timing point left alone for a day (SOAK_SECONDS=600 to shorten): memory and disk over time.
soak: build
	cmake --build build -j $(JOBS) --target bench_soak
	LUMIVANE_SOAK_SECONDS=$(SOAK_SECONDS) ./build/bench_soak

demo: build
	./tools/demo.sh

# The Debian package (build/lumivane_<version>_<arch>.deb), checked by unpacking it into
# a temporary root and starting the headless program from there.
package: build
	cd build && cpack -G DEB
	./tools/checks/check_package.sh build $$([ -f build/Lumivane.pdf ] && echo gui || echo nogui) \
	  $$(ls -t build/lumivane_*.deb | head -1)

clean:
	rm -rf build build-asan build-tsan build-fuzz
