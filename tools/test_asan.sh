#!/usr/bin/env bash
# test_asan.sh -- builds the program and the tests with AddressSanitizer and UBSan into build-asan/
# and runs the whole test suite under them on a virtual display.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-asan"
jobs=${JOBS:-$(nproc)}

# RelWithDebInfo: optimised enough for the end-to-end tests' frame rate, with lines in the reports.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALMWIND_SANITIZE=ON \
    -DHALMWIND_BUILD_TESTS=ON -DHALMWIND_BUILD_TOOLS=OFF -DHALMWIND_BUILD_BENCHMARKS=OFF \
    -DHALMWIND_BUILD_FUZZERS=OFF
cmake --build "$build" -j "$jobs" --target halmwind_core halmwind halmwind_tests

# Mesa unloads its driver when SDL closes the display, before the leak check at exit: whatever
# the driver keeps until then would be reported from an unnamed module that no suppression can
# match. A small preloaded library keeps the driver mapped in the sanitizer-built processes only.
keep="$build/keep_gl_driver.so"
cat >"$build/keep_gl_driver.c" <<'SOURCE'
#include <dlfcn.h>
#include <stdlib.h>

__attribute__((constructor)) static void KeepGlDriver(void)
{
    const char *path = getenv("HALMWIND_KEEP_LOADED");
    if (path && *path && dlsym(RTLD_DEFAULT, "__asan_init")) {
        dlopen(path, RTLD_LAZY | RTLD_NODELETE);
    }
}
SOURCE
cc -shared -fPIC -O2 -o "$keep" "$build/keep_gl_driver.c" -ldl
driver=""
for dir in /usr/lib/"$(cc -print-multiarch)"/dri /usr/lib64/dri /usr/lib/dri; do
    if [ -f "$dir/swrast_dri.so" ]; then
        driver="$dir/swrast_dri.so"
        break
    fi
done
export HALMWIND_KEEP_LOADED="$driver"

# Every finding ends the process that made it with a stack trace; the program, the tools and
# the test binary read the same settings (the preloaded library comes before the ASan runtime,
# which is harmless here). tests/sanitizer.supp holds the leaks of the GL driver, D-Bus and
# fontconfig, nothing of the project's own.
#
# intercept_tls_get_addr=0: this runtime's __tls_get_addr hook takes a dynamic TLS block that
# starts 16 bytes into a page for one with the header glibc 2.19 wrote, and reads the two words
# before it as the block's start and size. Since glibc 2.25 those words are the allocator's own
# chunk header, so the leak check at exit scans from the requested size as an address and its
# tracer dies ("Tracer caught signal 11"), after a test has passed and only where the driver's
# allocations happen to put a block there. Without the hook the blocks are still scanned, as
# heap chunks reachable from the thread's DTV.
export ASAN_OPTIONS="verify_asan_link_order=0:halt_on_error=1:abort_on_error=0:print_stacktrace=1:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1:strict_string_checks=1:intercept_tls_get_addr=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer.supp:print_suppressions=0"

cd "$build"
# The display server itself runs without the preload.
"$root/tools/headless.sh" env LD_PRELOAD="$keep" ctest --output-on-failure "$@"
