#!/usr/bin/env bash
# Fuzzes the project-file reader, the whole pipeline, and the second look
# with the metre estimator, with libFuzzer, all targets at once, for a
# bounded time each.
#   scripts/fuzz.sh [SECONDS]   (default 600)
# Corpora grow in build-fuzz/corpus-*/; crashes are written to
# build-fuzz/crashes/; each target's log is build-fuzz/*.log.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
build="$root/build-fuzz"

"$root/scripts/install-deps.sh"
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q installed; then
    if [[ $(id -u) -eq 0 ]]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang libclang-rt-14-dev
    else
        echo "The fuzzers need clang and libclang-rt-14-dev: sudo apt-get install clang libclang-rt-14-dev" >&2
        exit 1
    fi
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
    -DVANTOR_BUILD_TESTS=OFF -DVANTOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target vntFuzzer pipelineFuzzer secondLookFuzzer --parallel "$(nproc)"

mkdir -p "$build/crashes"
# The offscreen platform keeps its screen for the life of the process.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp"
status=0
for target in vntFuzzer pipelineFuzzer secondLookFuzzer; do
    corpus="$build/corpus-$target"
    [[ -d "$corpus" ]] || python3 "$root/tests/fuzz/make_seeds.py" "$corpus" "$target"
    # Inputs up to 256 KB: real headers are about 1 KB, and the pipeline
    # target also takes short recordings.
    "$build/tests/fuzz/$target" "$corpus" -dict="$root/tests/fuzz/vnt.dict" -max_len=262144 \
        -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -artifact_prefix="$build/crashes/$target-" \
        -print_final_stats=1 >"$build/$target.log" 2>&1 &
done
for job in $(jobs -p); do
    wait "$job" || status=1
done
for target in vntFuzzer pipelineFuzzer secondLookFuzzer; do
    echo "== $target"
    grep -E '^#[0-9]+.*(DONE|pulse)|stat::number_of_executed_units|stat::peak_rss_mb|cov:' "$build/$target.log" | tail -3
done
exit $status
