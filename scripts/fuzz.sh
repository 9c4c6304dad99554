#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for the given number of
# seconds (default 60), two at a time. Prints one "name: value" line per figure.
# Usage: scripts/fuzz.sh [seconds-per-target]; the reported figures come from a 400-second run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

./scripts/deps.sh --fuzz

flags="-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all"
cmake -S fuzz -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_CXX_COMPILER_LAUNCHER="$(command -v ccache || true)" \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=(fuzz_templates fuzz_presets fuzz_shellwords fuzz_pathsplit fuzz_jsonscan)
cmake --build build/fuzz -j2 --target "${targets[@]}" >/dev/null

# A smaller quarantine and no allocation stacks nearly double the executions per second;
# replay a crash file without these options for the full report.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=0}"

out=build/fuzz/run
rm -rf "$out"
mkdir -p "$out/artifacts"
run() {
    local name=$1 corpus="$out/corpus/${1#fuzz_}"
    # A working copy: what the run learns stays out of the committed seeds.
    mkdir -p "$corpus"
    cp fuzz/corpus/"${name#fuzz_}"/* "$corpus"/
    build/fuzz/"$name" "$corpus" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/artifacts/$name-" >"$out/$name.log" 2>&1 || true
}
run fuzz_templates & run fuzz_presets & wait
run fuzz_shellwords & run fuzz_pathsplit & wait
run fuzz_jsonscan

execs() { grep -o 'stat::number_of_executed_units: [0-9]*' "$out/$1.log" | awk '{print $2}' | tail -1; }
t=$(execs fuzz_templates) p=$(execs fuzz_presets) s=$(execs fuzz_shellwords) a=$(execs fuzz_pathsplit)
j=$(execs fuzz_jsonscan)
crashes=$(find "$out/artifacts" -type f | wc -l)
echo "fuzz_seconds_per_target: $seconds"
echo "fuzz_execs_templates: ${t:-0}"
echo "fuzz_execs_jsonscan: ${j:-0}"
echo "fuzz_execs_presets: ${p:-0}"
echo "fuzz_execs_json: $(( ${t:-0} + ${p:-0} ))"
echo "fuzz_execs_options: ${s:-0}"
echo "fuzz_execs_path: ${a:-0}"
echo "fuzz_crashes: $crashes"
if [ "$crashes" -gt 0 ]; then
    ls "$out/artifacts" >&2
    exit 1
fi
