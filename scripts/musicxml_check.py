#!/usr/bin/env python3
"""Checks Vantor's MusicXML and BWW exports with MuseScore 3, an independent
reader: each score is imported headless, and what MuseScore read is compared
bar by bar with what Vantor wrote.

    musicxml_check.py [--transcriber PROGRAM --work DIR] [--keep DIR] FILE ...

A FILE ending in .musicxml or .xml is checked as it is, with the BWW file of
the same name beside it if there is one. Any other FILE (a recording or a
Vantor project) is first transcribed with --transcriber into --work, which
writes both. For every score one line:

    NAME: OK measures=17 notes=105 graces=154 ties=3 bww=equal title="..."

- the MusicXML must be well-formed (xmllint, when installed), and MuseScore
  must import it without error and find it valid against the MusicXML
  schema it carries;
- the measures it reads, and in each its melody notes, gracenotes, rests and
  tie starts, must equal those written in the MusicXML;
- the BWW written from the same score must hold the same bars, melody notes
  and gracenotes (each gracing counted as the notes it is played as), and
  MuseScore's import of it must keep the tune's title.

Exit status: 0 when every score passes, 1 when one does not, 77 when
MuseScore 3 is not installed (a test skips then), 2 for a usage error.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SKIP = 77

# Gracenotes each BWW gracing token is played as: a single gracenote or
# strike one, a half doubling, the High G and High A doublings and the half
# throw two, other doublings, the grip, the throw and the birl three,
# taorluaths and the Low A birl four, birls with a gracenote five.
GRACE_NOTES = {}
for _note in ("lg", "la", "b", "c", "d", "e", "f", "hg"):
    GRACE_NOTES["str" + _note] = 1
    GRACE_NOTES["hdb" + _note] = 2
    GRACE_NOTES["db" + _note] = 3
    GRACE_NOTES["tdb" + _note] = 3
for _token in ("ag", "bg", "cg", "dg", "eg", "fg", "gg", "tg"):
    GRACE_NOTES[_token] = 1
GRACE_NOTES.update({"dbhg": 2, "dbha": 2, "hthrd": 2, "grp": 3, "thrd": 3, "brl": 3,
                    "tar": 4, "tarb": 4, "abr": 4, "gbr": 5, "tbr": 5})
NOTE_TOKEN = re.compile(r"^(LG|LA|B|C|D|E|F|HG|HA)[rl]?_\d+$")
BAR_END_TOKENS = {"!", "!t", "!I", "''!I"}


def local(tag):
    return tag.rsplit("}", 1)[-1]


def find_mscore():
    for name in (os.environ.get("MSCORE"), "mscore3", "musescore3"):
        if name and shutil.which(name):
            return shutil.which(name)
    return None


def run_mscore(mscore, source, target, workdir):
    """Converts source to target (format from the extension) with MuseScore
    headless, its settings and runtime files kept in workdir. Returns
    (exit status, log)."""
    env = dict(os.environ)
    env.setdefault("QT_QPA_PLATFORM", "offscreen")
    for name, folder in (("XDG_RUNTIME_DIR", "runtime"), ("HOME", "home")):
        path = os.path.join(workdir, folder)
        os.makedirs(path, mode=0o700, exist_ok=True)
        env[name] = path
    if os.path.exists(target):
        os.remove(target)
    try:
        run = subprocess.run([mscore, "-c", os.path.join(workdir, "config"), source, "-o", target], env=env,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=180)
    except subprocess.TimeoutExpired:
        return 124, "MuseScore timed out"
    return run.returncode, run.stdout.decode("utf-8", "replace")


def written_measures(path):
    """Per measure of a MusicXML file's first part: [melody, graces, rests,
    tie starts]."""
    root = ET.parse(path).getroot()
    part = next(el for el in root if local(el.tag) == "part")
    counts = []
    for measure in (m for m in part if local(m.tag) == "measure"):
        row = [0, 0, 0, 0]
        for note in (n for n in measure if local(n.tag) == "note"):
            children = [local(c.tag) for c in note]
            row[2 if "rest" in children else 1 if "grace" in children else 0] += 1
            row[3] += sum(1 for c in note if local(c.tag) == "tie" and c.get("type") == "start")
        counts.append(row)
    return counts, root.findtext("work/work-title") or ""


def tie_start(element):
    """Whether a child of a MuseScore note starts a tie: a tie spanner that
    leads on to the next note, or (older files) a tie of its own."""
    if element.tag == "Spanner" and element.get("type") == "Tie":
        return element.find("next") is not None
    return element.tag == "Tie"


def imported_measures(path):
    """Per measure of MuseScore's own file (.mscx), first staff: [melody,
    graces, rests, tie starts], and its title."""
    root = ET.parse(path).getroot()
    score = root.find("Score")
    staff = next(el for el in score if el.tag == "Staff")
    counts = []
    for measure in staff.iter("Measure"):
        row = [0, 0, 0, 0]
        for element in measure.iter():
            if element.tag == "Rest":
                row[2] += 1
            elif element.tag == "Chord":
                grace = any(c.tag.startswith("grace") or c.tag in ("appoggiatura", "acciaccatura") for c in element)
                row[1 if grace else 0] += 1
                row[3] += sum(1 for note in element.iter("Note") for c in note if tie_start(c))
        counts.append(row)
    title = ""
    for text in score.iter("Text"):
        if text.findtext("style") == "Title":
            title = "".join(text.find("text").itertext()).strip()
    return counts, title


def bww_bars(path):
    """Per bar of a BWW file: [melody notes, gracenotes]."""
    with open(path, encoding="latin-1") as f:
        lines = f.read().splitlines()
    # The music starts at the first staff; the header's lines come before.
    start = next((k for k, line in enumerate(lines) if line.startswith("&")), len(lines))
    bars, current = [], None
    for token in " ".join(lines[start:]).split():
        if token in BAR_END_TOKENS:
            if current is not None:
                bars.append(current)
            current = None
            continue
        if NOTE_TOKEN.match(token):
            current = current or [0, 0]
            current[0] += 1
        elif token in GRACE_NOTES:
            current = current or [0, 0]
            current[1] += GRACE_NOTES[token]
    if current is not None:
        bars.append(current)
    return bars


def first_difference(a, b, what):
    if len(a) != len(b):
        return "%s: %d measures, expected %d" % (what, len(b), len(a))
    for number, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "%s: measure %d holds %s, expected %s" % (what, number + 1, y, x)
    return None


def check(mscore, musicxml, bww, workdir):
    """The summary line and whether the score passed."""
    name = os.path.basename(musicxml)
    mscx = os.path.join(workdir, name + ".mscx")
    status, log = run_mscore(mscore, os.path.abspath(musicxml), mscx, workdir)
    if status != 0 or not os.path.exists(mscx):
        return "%s: FAIL MuseScore could not import it (exit %d)" % (name, status), False
    if "not a valid MusicXML file" in log:
        return "%s: FAIL not valid against MuseScore's MusicXML schema" % name, False
    if shutil.which("xmllint"):
        # Well-formed, the DOCTYPE included (the DTD itself is not fetched).
        lint = subprocess.run(["xmllint", "--noout", "--nonet", musicxml], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
        if lint.returncode != 0:
            return "%s: FAIL xmllint: %s" % (name, lint.stderr.decode("utf-8", "replace").strip()), False
    written, title = written_measures(musicxml)
    imported, _ = imported_measures(mscx)
    problems = [p for p in [first_difference(written, imported, "MuseScore read")] if p]
    total = [sum(row[k] for row in written) for k in range(4)]
    fields = ["measures=%d" % len(written), "notes=%d" % total[0], "graces=%d" % total[1], "ties=%d" % total[3]]
    if bww:
        difference = first_difference([row[:2] for row in written if row[0] > 0], bww_bars(bww), "BWW")
        if difference:
            problems.append(difference)
        bww_mscx = os.path.join(workdir, name + ".bww.mscx")
        status, _ = run_mscore(mscore, os.path.abspath(bww), bww_mscx, workdir)
        bww_title = imported_measures(bww_mscx)[1] if status == 0 and os.path.exists(bww_mscx) else None
        if bww_title is None:
            problems.append("MuseScore could not import the BWW")
        elif bww_title != title.replace('"', "'"):  # BWW quotes its fields in double quotes
            problems.append('MuseScore read the BWW\'s title as "%s"' % bww_title)
        fields.append("bww=%s" % ("equal" if not difference else "differs"))
    fields.append('title="%s"' % title)
    line = "%s: %s %s" % (name, "FAIL" if problems else "OK", " ".join(fields))
    if problems:
        line += " problems: " + "; ".join(problems)
    return line, not problems


def transcribe(program, source, work):
    """Writes WORK/NAME.musicxml and WORK/NAME.bww from source; their paths,
    or None when the program fails."""
    base = os.path.join(work, os.path.splitext(os.path.basename(source))[0])
    run = subprocess.run([program, source, "--musicxml", base + ".musicxml", "--bww", base + ".bww"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    if run.returncode != 0:
        sys.stderr.write(run.stderr.decode("utf-8", "replace"))
        return None
    return base + ".musicxml", base + ".bww"


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("files", nargs="+")
    parser.add_argument("--transcriber", help="vantor-transcribe, for files that are not MusicXML")
    parser.add_argument("--work", help="where transcriptions are written")
    parser.add_argument("--keep", help="keep MuseScore's files in this folder")
    args = parser.parse_args()
    mscore = find_mscore()
    if mscore is None:
        print("MuseScore 3 is not installed (mscore3): nothing checked")
        return SKIP
    workdir = args.keep or tempfile.mkdtemp(prefix="musicxml_check.")
    os.makedirs(workdir, exist_ok=True)
    passed = True
    try:
        for path in args.files:
            if path.endswith((".musicxml", ".xml")):
                bww = os.path.splitext(path)[0] + ".bww"
                written = (path, bww if os.path.exists(bww) else None)
            elif not args.transcriber or not args.work:
                parser.error("%s: transcribing needs --transcriber and --work" % path)
            else:
                os.makedirs(args.work, exist_ok=True)
                written = transcribe(args.transcriber, path, args.work)
                if written is None:
                    print("%s: FAIL the transcriber failed" % path)
                    passed = False
                    continue
            line, ok = check(mscore, written[0], written[1], workdir)
            print(line)
            passed = passed and ok
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main())
