#!/usr/bin/env bash
# Installs what is missing, builds Vantor and starts the application.
# Arguments go to vantor (e.g. --input-file take.wav plays a recording in as
# the audio input). Without a sound card the bundled example is played in, so
# Record shows a live transcription on any machine. Without a display it says
# so and transcribes the bundled example with vantor-transcribe instead.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    echo "No display: transcribing the bundled example with vantor-transcribe instead" \
         "(to run the application without a display: xvfb-run scripts/run.sh)." >&2
    exec "$root/build/src/cli/vantor-transcribe" "$root/resources/examples/scotland_the_brave.wav"
fi
exec "$root/build/src/app/vantor" "$@"
