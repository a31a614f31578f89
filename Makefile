# Two entry points for a fresh Debian machine (as root): `make demo` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=
# `make fuzz`: every libFuzzer target for FUZZ_RUNS inputs (at most FUZZ_SECONDS each).
FUZZ_BUILD ?= build-fuzz
FUZZ_RUNS ?= 1000000
FUZZ_SECONDS ?= 600

.PHONY: deps configure build test package demo bench fuzz clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The Debian package (CPack) in $(BUILD): larkspire_<version>_<arch>.deb.
package: build
	cd $(BUILD) && cpack -G DEB

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DLARKSPIRE_FUZZ=ON \
	  -DLARKSPIRE_GUI=OFF -DLARKSPIRE_BENCH=OFF
	cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	@bash scripts/fuzz.sh $(FUZZ_BUILD) $(FUZZ_RUNS) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) build-asan $(FUZZ_BUILD)
