#!/usr/bin/env bash
# Installs what is missing, builds Vantor and runs every test. With
# --sanitize the tests are built and run under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir="$root/build"
[[ "${1:-}" == "--sanitize" ]] && build_dir="$root/build-sanitize"
"$root/scripts/build.sh" "$@"
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)"
