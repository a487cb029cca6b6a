#!/usr/bin/env bash
# Makes the example project files in resources/examples from tunes of the
# evaluation corpus: each tune's opening is played into a note timeline and
# rendered as a Highland chanter by the evaluation kit (../shared/eval), then
# saved by vantor-transcribe as a Vantor project with the tune's details,
# tempo, time signature, the chanter's tuning and the time shift that puts the
# bar lines where the tune has them (a pick-up fills the end of a first bar). The file-backed input
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

# tune | time signature | beats a bar | pick-up in beats | seconds | tune type | composer | title
examples=(
    "amazing_grace|3/4|3|1|24|Slow Air|Traditional|Amazing Grace"
    "barren_rocks_of_aden|2/4|2|0.5|20|March|Traditional|The Barren Rocks of Aden"
    "atholl_highlanders|6/8|2|0.333333|20|Jig|Traditional|The Atholl Highlanders"
)
for example in "${examples[@]}"; do
    IFS='|' read -r tune signature beats pickup seconds type composer title <<<"$example"
    "$python" "$kit/bww2events.py" "$corpus/$tune.bww" --max-seconds "$seconds" --seed 1 -o "$work/$tune.json"
    "$python" "$kit/synth.py" "$work/$tune.json" -o "$work/$tune.wav" --timbre pipe --seed 1 -q
    # The tempo the timeline was played at, the chanter it was played on, and
    # the shift that puts the first bar line one bar from the start.
    read -r bpm tuning shift < <("$python" - "$work/$tune.json" "$beats" "$pickup" <<'PY'
import json, sys
truth = json.load(open(sys.argv[1]))
beats, pickup = float(sys.argv[2]), float(sys.argv[3])
notes = ["LG", "LA", "B", "C", "D", "E", "F", "HG", "HA"]
first_s = min(note["start_s"] for note in truth["notes"])
shift_s = (beats - pickup) * 60.0 / truth["bpm"] - first_s
print(truth["bpm"], ",".join(f"{n}={truth['tuning'][n]:g}" for n in notes), f"{shift_s:.3f}")
PY
)
    "$transcribe" "$work/$tune.wav" --vnt "$root/resources/examples/$tune.vnt" --tuning "$tuning" \
        --bpm "$bpm" --time-signature "$signature" --time-shift "$shift" --tune-name "$title" --tune-type "$type" \
        --composer "$composer" >/dev/null
    echo "resources/examples/$tune.vnt: $title, $signature at $bpm BPM, time shift $shift s, ${seconds} s"
done
