#!/usr/bin/env bash
# Installs what is missing and builds Vantor into build/ (or build-sanitize/
# with --sanitize: AddressSanitizer and UndefinedBehaviorSanitizer).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

build_dir="$root/build"
cmake_options=(-DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_TESTS=ON -DVANTOR_BUILD_BENCH=ON)
if [[ "${1:-}" == "--sanitize" ]]; then
    build_dir="$root/build-sanitize"
    cmake_options=(-DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON -DVANTOR_BUILD_TESTS=ON -DVANTOR_BUILD_BENCH=OFF)
fi

"$root/scripts/install-deps.sh"
# Test discovery runs the test programs while building: the sanitizers need
# their settings here too.
export QT_QPA_PLATFORM=offscreen
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
cmake -S "$root" -B "$build_dir" "${cmake_options[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
