#!/usr/bin/env bash
# Installs what is missing, builds Vantor and measures its speed: each stage
# of a recording's transcription per minute of audio on one thread and on all
# cores, the whole transcription one-shot and progressive, and Vantor against
# aubio's note tracker (aubionotes) on the same file, side by side.
# Arguments are passed on to Google Benchmark (--benchmark_repetitions=3...).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
exec "$root/build/bench/vantorBench" --benchmark_filter='BM_Stage|BM_Whole|BM_AgainstAubionotes|BM_PitchFinderTranscriptionWindow' "$@"
