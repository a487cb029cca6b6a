#!/usr/bin/env bash
# Installs what is missing, builds Vantor and runs vantor-transcribe: without
# arguments on the bundled example (the opening bars of Scotland the Brave);
# arguments are passed on (see --help).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
if [[ $# -eq 0 ]]; then
    set -- "$root/resources/examples/scotland_the_brave.wav"
fi
exec "$root/build/src/cli/vantor-transcribe" "$@"
