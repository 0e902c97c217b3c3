# Makefile -- the project's commands: build, run, test, and the tools around them.
BUILD ?= build
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60

.PHONY: all setup build run test test-asan fuzz bench shots terrain package test-package clean windows windows64 test-windows test-windows-units web serve-web test-web bench-web

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

# The Windows builds, cross-compiled with mingw-w64: the design's 32-bit program in build-win32/
# with dist/halmwind-win32.zip, and the same sources for 64-bit Windows in build-win64/ with
# dist/halmwind-win64.zip. Only these targets install the cross compilers and Wine.
WIN_BUILD ?= build-win32
WIN64_BUILD ?= build-win64

windows:
	@bash tools/setup_windows.sh build 32
	cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN_BUILD) -j $(JOBS) --target halmwind halmwind_zip
	@bash tools/windows_imports.sh i686-w64-mingw32-objdump $(WIN_BUILD)/halmwind.exe

windows64:
	@bash tools/setup_windows.sh build 64
	cmake -S . -B $(WIN64_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WIN64_BUILD) -j $(JOBS) --target halmwind halmwind_zip
	@bash tools/windows_imports.sh x86_64-w64-mingw32-objdump $(WIN64_BUILD)/halmwind.exe

# The tests under Wine: the 32-bit build where this machine runs 32-bit programs, the 64-bit
# build under wine64 where it cannot (HALMWIND_WINDOWS_BITS=32 or 64 chooses by hand).
test-windows: build
	bash tools/test_windows.sh $(BUILD)

# The unit tests under Wine alone.
test-windows-units:
	bash tools/test_windows.sh $(BUILD) units

# The browser build, with Emscripten over gl4es: dist/halmwind-web/ holds the page, halmwind.js,
# halmwind.wasm and the data. Only these targets install Emscripten, Chromium and puppeteer-core.
WEB_BUILD ?= build-web
WEB_PORT ?= 8080

web:
	@bash tools/setup_web.sh
	@JOBS=$(JOBS) bash tools/build_web.sh $(WEB_BUILD)

serve-web:
	@test -f dist/halmwind-web/index.html || { echo "serve-web: run make web first" >&2; exit 1; }
	@echo "serve-web: http://127.0.0.1:$(WEB_PORT)/ (Ctrl+C ends it)"
	@python3 -m http.server $(WEB_PORT) --bind 127.0.0.1 --directory dist/halmwind-web

# The headless browser check of the web build; pictures go to $(WEB_BUILD)/shots/.
test-web: web
	@bash tools/test_web.sh $(WEB_BUILD)

# The web build's frame rates in headless SwiftShader beside the native build's on llvmpipe, in
# one run, with the page's own work and the WebGL draws a frame against their goals: the wind
# paths' cost over Off, start to first frame, the download's size. The figures also go to
# $(WEB_BUILD)/bench.json; BENCH_PROFILE=1 adds a CPU profile of the page, BENCH_TRACE=1 where the
# frame's time goes in Chromium's trace, thread by thread.
bench-web: web build
	@node tests/web/bench.js dist/halmwind-web $(BUILD) $(WEB_BUILD)/bench.json

clean:
	rm -rf $(BUILD) build-asan build-fuzz build-package $(WIN_BUILD) $(WIN64_BUILD) $(WEB_BUILD) dist
