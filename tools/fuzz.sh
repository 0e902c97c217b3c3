#!/usr/bin/env bash
# fuzz.sh -- builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS
# (default 60) from the seed corpus in tests/fuzz/. Crashes and hangs are left in
# build-fuzz/artifacts/; once fixed, their inputs belong in tests/fuzz/regressions/<target>/,
# where the regular tests replay them. Then random Cg programs are compared with the reference
# compiler (ORACLE_COUNT programs from ORACLE_SEED; 4 a second of SECONDS from a new seed).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=${1:-60}
build="$root/build-fuzz"
jobs=${JOBS:-$(nproc)}

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALMWIND_BUILD_FUZZERS=ON -DHALMWIND_SANITIZE=OFF \
    -DHALMWIND_BUILD_TESTS=OFF -DHALMWIND_BUILD_TOOLS=OFF -DHALMWIND_BUILD_BENCHMARKS=OFF
cmake --build "$build" -j "$jobs" --target fuzz_cg_translate fuzz_cg_preprocess fuzz_height_map

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:print_stacktrace=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=()
for target in cg_preprocess cg_translate height_map; do
    # The working corpus grows across runs; the committed seeds and regressions are only read.
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts" "$root/tests/fuzz/regressions/$target"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$artifacts/")
    case "$target" in
    cg_translate) options+=(-max_len=16384 -dict="$root/tests/fuzz/cg.dict") ;;
    cg_preprocess) options+=(-max_len=8192 -dict="$root/tests/fuzz/cg_preprocess.dict") ;;
    height_map) options+=(-max_len=8192) ;;
    esac
    echo "fuzz: $target for $seconds s"
    if ! "$build/fuzz_$target" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus/$target" \
        "$root/tests/fuzz/regressions/$target"; then
        failed+=("$target")
    fi
done

# Random Cg programs against the reference compiler, more of them than make test runs and from
# a new seed each time (printed, so that a finding can be run again with ORACLE_SEED).
oracle_seed=${ORACLE_SEED:-$(date +%s)}
oracle_count=${ORACLE_COUNT:-$((seconds * 4))}
echo "fuzz: cg_oracle, $oracle_count random programs from seed $oracle_seed"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j "$jobs" --target halmwind_tests
if ! HALMWIND_ORACLE_SEED=$oracle_seed HALMWIND_ORACLE_COUNT=$oracle_count \
    bash "$root/tools/headless.sh" "$root/build/halmwind_tests" --gtest_filter=CgOracle.RandomProgramsAgree; then
    failed+=(cg_oracle)
fi

if [ ${#failed[@]} -ne 0 ]; then
    echo "fuzz: findings in ${failed[*]}; inputs under $build/artifacts/" >&2
    exit 1
fi
echo "fuzz: no findings"
