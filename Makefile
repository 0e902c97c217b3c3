# Makefile -- the project's commands: build, run, test, and the tools around them.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all setup build run test test-asan fuzz bench shots terrain package test-package clean

all: build

setup:
	@bash tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

# With a display: the live demo. Without one: a tour of every path and mode written to shots/.
run: build
	@bash tools/run.sh $(BUILD)

test: build
	cd $(BUILD) && bash $(CURDIR)/tools/headless.sh ctest --output-on-failure

test-asan: setup
	@bash tools/test_asan.sh

fuzz: setup
	@bash tools/fuzz.sh $(FUZZ_SECONDS)

bench: build
	@if [ -n "$$DISPLAY" ]; then $(BUILD)/halmwind_bench $(BENCH_ARGS); \
	else bash $(CURDIR)/tools/headless.sh $(BUILD)/halmwind_bench $(BENCH_ARGS); fi

# Remakes the README pictures in docs/.
shots: build
	@bash tools/shots.sh $(BUILD)

# The Debian package, dist/halmwind_<version>_<arch>.deb, built on its own into build-package/
# and checked by lintian; test-package installs it, runs it, removes it (needs root or sudo).
package: setup
	@JOBS=$(JOBS) bash tools/package.sh

test-package: package
	@bash tools/test_package.sh

terrain: build
	$(BUILD)/make_terrain data/terrain.raw

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-package dist
