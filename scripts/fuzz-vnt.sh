#!/usr/bin/env bash
# Fuzzes the project-file reader with libFuzzer for a bounded time.
#   scripts/fuzz-vnt.sh [SECONDS]   (default 600)
# Seeds are a valid project file and a few damaged ones; crashes are written
# to build-fuzz/crashes/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
build="$root/build-fuzz"

"$root/scripts/install-deps.sh"
if ! command -v clang++ >/dev/null || ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q installed; then
    if [[ $(id -u) -eq 0 ]]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends clang libclang-rt-14-dev
    else
        echo "The fuzzer needs clang and libclang-rt-14-dev: sudo apt-get install clang libclang-rt-14-dev" >&2
        exit 1
    fi
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTOR_FUZZ=ON \
    -DVANTOR_BUILD_TESTS=OFF -DVANTOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target vntFuzzer --parallel "$(nproc)"

corpus="$build/corpus"
mkdir -p "$corpus" "$build/crashes"
if [[ -z "$(ls -A "$corpus")" ]]; then
    python3 - "$corpus" <<'PY'
import struct, sys, os
out = sys.argv[1]
xml = ("<!DOCTYPE NorlaFileVnt>\n<NorlaFileVnt>\n <audioDataSize_B>4</audioDataSize_B>\n"
       " <recordingFrequency_Hz>44100</recordingFrequency_Hz>\n <tuneName>T</tuneName>\n <tuneType>March</tuneType>\n"
       " <composedBy>Me</composedBy>\n <timeSigNumerator>4</timeSigNumerator>\n <timeSigDenominator>4</timeSigDenominator>\n"
       " <bpm>72</bpm>\n <timeShift_s>0</timeShift_s>\n <chanterCalibration>\n  <LA>480</LA>\n </chanterCalibration>\n"
       " <recordedAppVersion>1</recordedAppVersion>\n <recordedTime>t</recordedTime>\n <recordedInstallId>i</recordedInstallId>\n"
       " <appVersion>1</appVersion>\n <fileCreationTime>t</fileCreationTime>\n <fileCreationInstallId>i</fileCreationInstallId>\n"
       "</NorlaFileVnt>\n").encode()
def vnt(header, audio=b"\x01\x02\x03\x04", version=1, size=None):
    return b"norla_vnt   " + struct.pack("<ii", version, len(header) if size is None else size) + header + audio
seeds = {"valid": vnt(xml), "short": vnt(xml)[:30], "bigsize": vnt(xml, size=1 << 30),
         "noaudio": vnt(xml, b""), "v2": vnt(xml, version=2)}
for name, data in seeds.items():
    open(os.path.join(out, name), "wb").write(data)
PY
fi
"$build/tests/files/fuzz/vntFuzzer" "$corpus" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix="$build/crashes/" -print_final_stats=1
