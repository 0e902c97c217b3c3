# Makefile -- the project's commands: build, run, test, terrain.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all setup build run test terrain clean

all: build

setup:
	@bash tools/setup.sh

build: setup
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd data && ../$(BUILD)/halmwind

test: build
	cd $(BUILD) && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure

terrain: build
	$(BUILD)/make_terrain data/terrain.raw

clean:
	rm -rf $(BUILD)
