#!/usr/bin/env python3
"""The written bars of a corpus tune, as far as its rendering by the
evaluation kit reaches, for the window test that corrects a transcription
bar by bar (VANTOR_KIT_TUNES): one JSON file per tune with the time
signature, the nominal tempo, the time shift that puts the tune's first bar
line on one of the score's, and every bar's notes (pitch, value, dots, tied
to the next, gracing tokens). The last bar, which the cut may shorten, is
left out, as the kit's score comparison leaves it out.

    kit_truth_bars.py --eval /path/to/shared/eval --max-seconds 20 \\
        --bpm-from TRUTH.json TUNE.bww OUT.json
"""
import argparse
import json
import sys
from fractions import Fraction


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--eval", required=True, help="the evaluation kit's folder")
    ap.add_argument("--max-seconds", type=float, default=20.0)
    ap.add_argument("--bpm-from", required=True, help="the kit's truth file of the rendering")
    ap.add_argument("tune")
    ap.add_argument("out")
    args = ap.parse_args()
    sys.path.insert(0, args.eval)
    import bww2events as bww
    import score_eval

    raw = open(args.tune, encoding="utf-8", errors="replace").read()
    bpm = float(json.load(open(args.bpm_from))["bpm"])
    truth = score_eval.tune_score(raw, args.max_seconds, bpm)
    ts, bars, _ = score_eval.read(raw)
    shift = score_eval.shift_seconds(ts, truth.origin, bpm)
    last_bar = truth.notes[-1].bar if truth.notes else 0
    first_bar = truth.notes[0].bar if truth.notes else 0
    # A part's short last bar and the next part's pick-up make one bar of
    # the grid, as the kit's score comparison counts them.
    grid, sizes = [], []
    for i, events in enumerate(bars):
        length = score_eval.length_of(events)
        if i > 1 and 0 < length < ts.bar and sizes and sizes[-1] + length == ts.bar:
            grid[-1] = grid[-1] + events
            sizes[-1] += length
        else:
            grid.append(list(events))
            sizes.append(length)
    out = []
    for number, events in enumerate(grid, start=first_bar):
        if number >= last_bar:
            break
        notes = []
        for ev in events:
            if not isinstance(ev, bww.Note):
                continue
            if ev.scale != 1 or ev.fermata:
                raise SystemExit("%s: a triplet or fermata the score cannot write" % args.tune)
            if ev.tie_prev and notes:
                notes[-1]["t"] = True
            notes.append({"g": [token for token, _name, _pitches in ev.gracings], "p": ev.pitch,
                          "v": int(Fraction(1) / ev.length), "d": ev.dots, "t": False})
        out.append(notes)
    json.dump({"ts": str(ts), "bpm": bpm, "shift_s": shift, "pickup": truth.origin != 0, "bars": out},
              open(args.out, "w"), indent=1)


if __name__ == "__main__":
    main()
