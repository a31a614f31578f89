# Two entry points for a fresh Debian machine (as root): `make demo` and `make test`.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: deps configure build test demo bench clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-asan
