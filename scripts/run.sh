#!/usr/bin/env bash
# Installs what is missing, builds Vantor and runs its main job on the
# bundled default: pitch analysis of a synthesised chanter scale. Arguments
# are passed on to vantor-analyse (see --help).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
exec "$root/build/src/cli/vantor-analyse" "$@"
