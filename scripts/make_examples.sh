#!/usr/bin/env bash
# Makes the example project files in resources/examples from tunes of the
# evaluation corpus: each tune's opening is played into a note timeline and
# rendered as a Highland chanter by the evaluation kit (../shared/eval), then
# saved by vantor-transcribe as a Vantor project with the tune's details,
# tempo, time signature and the chanter's tuning. The file-backed input
# plays a recording's samples unchanged, so a project made this way holds
# what recording the rendering through it gives.
#
#     scripts/make_examples.sh [PATH_TO_SHARED]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
shared=${1:-$root/../shared}
kit="$shared/eval"
corpus="$shared/corpus/bww"
python=/usr/bin/python3
"$root/scripts/build.sh" >/dev/null
transcribe="$root/build/src/cli/vantor-transcribe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# tune | time signature | seconds | tune type | composer | title
examples=(
    "amazing_grace|3/4|24|Slow Air|Traditional|Amazing Grace"
    "barren_rocks_of_aden|2/4|20|March|Traditional|The Barren Rocks of Aden"
    "atholl_highlanders|6/8|20|Jig|Traditional|The Atholl Highlanders"
)
for example in "${examples[@]}"; do
    IFS='|' read -r tune signature seconds type composer title <<<"$example"
    "$python" "$kit/bww2events.py" "$corpus/$tune.bww" --max-seconds "$seconds" --seed 1 -o "$work/$tune.json"
    "$python" "$kit/synth.py" "$work/$tune.json" -o "$work/$tune.wav" --timbre pipe --seed 1 -q
    # The tempo the timeline was played at, and the chanter it was played on.
    read -r bpm tuning < <("$python" - "$work/$tune.json" <<'PY'
import json, sys
truth = json.load(open(sys.argv[1]))
notes = ["LG", "LA", "B", "C", "D", "E", "F", "HG", "HA"]
print(truth["bpm"], ",".join(f"{n}={truth['tuning'][n]:g}" for n in notes))
PY
)
    "$transcribe" "$work/$tune.wav" --vnt "$root/resources/examples/$tune.vnt" --tuning "$tuning" \
        --bpm "$bpm" --time-signature "$signature" --tune-name "$title" --tune-type "$type" \
        --composer "$composer" >/dev/null
    echo "resources/examples/$tune.vnt: $title, $signature at $bpm BPM, ${seconds} s"
done
