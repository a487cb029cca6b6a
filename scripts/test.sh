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
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)" 2>&1 | tee "$log"; then
    exit 0
fi
# LeakSanitizer's own tracer can crash at exit while a Qt audio thread is
# still winding down, after the test itself passed ("LeakSanitizer has
# encountered a fatal error"). When that is the only way the tests failed,
# they are run once more; any other failure stands.
failed=$(sed -n '/The following tests FAILED:/,$p' "$log" | grep -c -E '^\s+[0-9]+ - ' || true)
crashed=$(grep -c 'LeakSanitizer has encountered a fatal error' "$log" || true)
if [[ "$failed" -gt 0 && "$crashed" -ge "$failed" ]]; then
    echo "Only LeakSanitizer's tracer crashed ($crashed of $failed failures): running those tests again."
    ctest --test-dir "$build_dir" --output-on-failure --rerun-failed
else
    exit 1
fi
