#!/usr/bin/env python3
"""Writes the metronome's two click sounds into resources/sounds.

click1.wav, the ordinary click: a short woodblock-like tick, a 1.6 kHz tone
with a fast exponential decay. click2.wav, the bar-start click: lower and
fuller (1.0 kHz with its octave), a little longer and louder, so the bar line
is heard without looking. 44.1 kHz, mono, 16-bit.
"""
import math
import os
import struct
import wave

RATE = 44100


def click(frequencies, duration_s, decay_s, level):
    samples = []
    count = int(duration_s * RATE)
    for n in range(count):
        t = n / RATE
        # A 1 ms attack avoids a hard edge; the decay shapes the tick.
        envelope = min(1.0, t / 0.001) * math.exp(-t / decay_s)
        value = sum(a * math.sin(2 * math.pi * f * t) for f, a in frequencies)
        samples.append(int(max(-1.0, min(1.0, level * envelope * value)) * 32767))
    return samples


def write(path, samples):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", s) for s in samples))


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "sounds")
    os.makedirs(folder, exist_ok=True)
    write(os.path.join(folder, "click1.wav"), click([(1600.0, 1.0), (3200.0, 0.25)], 0.04, 0.008, 0.6))
    write(os.path.join(folder, "click2.wav"), click([(1000.0, 0.8), (2000.0, 0.4)], 0.07, 0.015, 0.85))


if __name__ == "__main__":
    main()
