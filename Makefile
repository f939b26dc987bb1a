# Two entry points for a fresh Debian 12 machine: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60

.PHONY: deps build tolvex run run-headless test bench fuzz clean

deps:
	bash scripts/install-deps.sh

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The program alone, without the tests: a first build takes a few minutes on two cores.
tolvex: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target tolvex

run: deps tolvex
	./$(BUILD)/tolvex

run-headless: deps tolvex
	./$(BUILD)/tolvex run

test: deps build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVEX_BUILD_BENCH=ON -DTOLVEX_BUILD_TESTS=OFF
	cmake --build build-bench -j $(JOBS)
	bash bench/run.sh build-bench

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLVEX_BUILD_FUZZ=ON -DTOLVEX_BUILD_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	bash fuzz/run.sh build-fuzz $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-bench build-fuzz
