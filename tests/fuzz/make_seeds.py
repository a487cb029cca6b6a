#!/usr/bin/env python3
# Writes the fuzzers' seed inputs into a folder: a valid project, damaged
# ones, the reproductions of faults found by hand (a rate of 1e8 Hz, a tempo
# of 1e30, a time shift of 30000 s, a numerator of 2147483647, a header
# nested 5000 deep or cut inside its closing tag), and WAVE files (a chanter
# tone, a rate of 3 MHz). For secondLookFuzzer (second argument), note maps
# and audio in its own layout instead: a phrase with its transcription, two
# melody notes starting together with a gracing there, notes out of order,
# and times scaled by 1e4, 1e30 and NaN.
import math, os, struct, sys

out = sys.argv[1]
os.makedirs(out, exist_ok=True)

if len(sys.argv) > 2 and sys.argv[2] == "secondLookFuzzer":
    LG, LA, B, C, D, E = 1, 2, 3, 4, 5, 6
    dg, eg, gg = 13, 14, 16

    def note(name, start_ms, length_ms):
        return struct.pack("<BHH", name, start_ms + 1000, int(length_ms * 10))

    def seed(notes, audio, rate=5, gate=77, scale=None, phrase=True):
        flags = (1 if phrase else 0) | (2 if len(notes) > 3 else 0) | (8 if scale is not None else 0)
        body = b"".join(note(*n) for n in notes) + (struct.pack("<f", scale) if scale is not None else b"")
        return bytes([rate, gate, len(notes), flags]) + body + audio

    # A phrase: note index (0 = Low G ... 8 = High A, 9 = silence), length in 5 ms.
    phrase = bytes([1, 80, 6, 5, 2, 80, 6, 5, 3, 80, 4, 40, 5, 80])
    played = [(LA, 0, 400), (gg, 400, 25), (B, 425, 400), (eg, 825, 25), (C, 850, 400),
              (dg, 1250, 25), (D, 1275, 200), (E, 1475, 400)]
    # Enough melody notes (eight or more) for the metre estimator to look.
    tune = [(n, start + 1500 * k, length) for k in range(3) for (n, start, length) in played]
    seeds = {
        "phrase": seed(played, phrase),
        "together": seed([(LA, 0, 400), (C, 425, 300), (B, 425, 400), (gg, 425, 20), (dg, 700, 20)], phrase),
        "disorder": seed([(B, 900, 400), (LA, 0, 1200), (gg, 890, 20), (C, 300, 10)], phrase, rate=10),
        "tune": seed(tune, phrase),
        "huge": seed(tune, phrase, scale=1e30),
        "hours": seed(tune, phrase, scale=1e4),
        "nan": seed(tune, phrase, scale=float("nan")),
        "raw": seed(played, bytes(range(256)) * 64, phrase=False, rate=0),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    sys.exit(0)

def header(rate=44100, bpm="72", shift="0", numerator="4", denominator="4", la="480", audio=4):
    return ("<!DOCTYPE NorlaFileVnt>\n<NorlaFileVnt>\n <audioDataSize_B>%d</audioDataSize_B>\n"
            " <recordingFrequency_Hz>%s</recordingFrequency_Hz>\n <tuneName>T</tuneName>\n <tuneType>March</tuneType>\n"
            " <composedBy>Me</composedBy>\n <timeSigNumerator>%s</timeSigNumerator>\n"
            " <timeSigDenominator>%s</timeSigDenominator>\n <bpm>%s</bpm>\n <timeShift_s>%s</timeShift_s>\n"
            " <chanterCalibration>\n  <LA>%s</LA>\n </chanterCalibration>\n"
            " <recordedAppVersion>1</recordedAppVersion>\n <recordedTime>t</recordedTime>\n"
            " <recordedInstallId>i</recordedInstallId>\n <appVersion>1</appVersion>\n"
            " <fileCreationTime>t</fileCreationTime>\n <fileCreationInstallId>i</fileCreationInstallId>\n"
            "</NorlaFileVnt>\n" % (audio, rate, numerator, denominator, bpm, shift, la)).encode()

def vnt(xml, audio=b"\x01\x02\x03\x04", version=1, size=None):
    return b"norla_vnt   " + struct.pack("<ii", version, len(xml) if size is None else size) + xml + audio

def tone(rate, seconds, frequency=480.0):
    n = int(rate * seconds)
    return b"".join(struct.pack("<h", int(12000 * math.sin(2 * math.pi * frequency * i / rate))) for i in range(n))

def wav(rate, pcm):
    return (b"RIFF" + struct.pack("<I", 36 + len(pcm)) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, rate, 2 * rate, 2, 16)
            + b"data" + struct.pack("<I", len(pcm)) + pcm)

sound = tone(8000, 0.5)
seeds = {
    "valid": vnt(header()),
    "short": vnt(header())[:30],
    "bigsize": vnt(header(), size=1 << 30),
    "noaudio": vnt(header(), b""),
    "v2": vnt(header(), version=2),
    "chanter": vnt(header(rate=8000, audio=len(sound)), sound),
    "rate1e8": vnt(header(rate=100000000, audio=len(sound)), sound),
    "bpm1e30": vnt(header(rate=8000, bpm="1e30", audio=len(sound)), sound),
    "shift30000": vnt(header(rate=8000, shift="30000", audio=len(sound)), sound),
    "shiftnan": vnt(header(rate=8000, shift="nan", audio=len(sound)), sound),
    "numerator": vnt(header(rate=8000, numerator="2147483647", audio=len(sound)), sound),
    "lowAinf": vnt(header(rate=8000, la="inf", audio=len(sound)), sound),
    "nested": vnt(b"<a>" * 5000 + b"</a>" * 5000),
    "cutclose": vnt(header()[:-2]),
    "wav": wav(8000, sound),
    "wav3MHz": wav(3000000, tone(3000000, 0.01)),
}
for name, data in seeds.items():
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)
