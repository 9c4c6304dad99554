#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer in
# build/asan and runs it. Any report stops the test that hit it, so it fails.
# Prints "sanitizer_findings: N" (the reports seen) before CTest's exit status.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

flags="-O1 -g -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=Debug -DVELUNOR_BUILD_BENCH=OFF \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    >/dev/null || exit 1
cmake --build build/asan -j2 || exit 1

supp="$root/scripts/sanitizer-suppressions"
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:strict_string_checks=1:check_initialization_order=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:suppressions=$supp/ubsan.supp"
export LSAN_OPTIONS="suppressions=$supp/lsan.supp:print_suppressions=0"

log=build/asan/sanitize.log
cd build/asan
ctest --output-on-failure -j2 "$@" 2>&1 | tee "$root/$log"
status=${PIPESTATUS[0]}
findings=$(grep -cE '^(==[0-9]+==ERROR: (Address|Leak)Sanitizer|.*: runtime error: )' "$root/$log")
echo "sanitizer_findings: $findings"
exit "$status"
