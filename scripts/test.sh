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
# LeakSanitizer's tracking of thread-local storage that dlopen'ed libraries
# (Qt's audio plugins) reach through __tls_get_addr can record a bogus range,
# and reading it crashes the leak check at exit after the test has passed;
# the interception is off, and static TLS and the stacks are still scanned.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
# The tests run in a home of their own; the real one must come out as it
# went in. Its top-level names, and everything under the folders a Qt
# program writes to, are listed before and after the run.
home_listing() {
    find "$HOME" -mindepth 1 -maxdepth 1 -printf '%P\n'
    find "$HOME/.config" "$HOME/.local" "$HOME/Documents" "$HOME/.qttest" -printf '%p\t%s\t%T@\n' 2>/dev/null || true
}
home_before=$(home_listing | sort)
ctest --test-dir "$build_dir" --output-on-failure --parallel "$(nproc)"
home_after=$(home_listing | sort)
if [[ "$home_before" != "$home_after" ]]; then
    echo "The test run changed $HOME:" >&2
    diff <(echo "$home_before") <(echo "$home_after") | head -40 >&2
    exit 1
fi
