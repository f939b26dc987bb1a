# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

PREFIX ?= /usr/local

.PHONY: deps build tolvex run run-headless test check-sanitize bench fuzz install package clean

deps:
	bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The programs alone, without the tests: a first build takes a few minutes on two cores.
tolvex: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tolvex tolvex-window

run: deps tolvex
	./$(BUILD)/tolvex

run-headless: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tolvex
	./$(BUILD)/tolvex run

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole suite built with AddressSanitizer and UndefinedBehaviorSanitizer. Leaks inside the
# system's font library (reached through Qt) are not ours and are suppressed.
SANITIZER_ENV = ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/scripts/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
check-sanitize: deps
	cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEX_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build build-sanitize -j $(JOBS)
	cd build-sanitize && $(SANITIZER_ENV) ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BUILD_BENCH=ON -DTOLVEX_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	bash bench/run.sh build-bench

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEX_BUILD_FUZZ=ON -DTOLVEX_BUILD_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

install: deps build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of a release build installed under /usr: `apt install ./build-package/tolvex_*.deb`.
package: deps
	cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DTOLVEX_BUILD_TESTS=OFF
	cmake --build build-package -j $(JOBS)
	cd build-package && cpack -G DEB

clean:
	rm -rf $(BUILD) build-bench build-fuzz build-package build-sanitize
