#include "VantorUtils.h"

#include "BinnedTuning.h"
#include "HistoricPipeTuning.h"
#include "PipeSnacPeakPicker.h"
#include "utils.h"

#include <QDebug>
#include <QString>

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace {

// The search band reaches a little beyond the chanter's compass.
constexpr double kBandBelowLowG = 0.9;
constexpr double kBandAboveHighA = 1.1;
constexpr float kReferenceLowA_Hz = 440.0f;
constexpr std::size_t kVolumeRingSize = 10;

// Two notes starting closer than this are taken to start together.
constexpr float kSameStart_s = 0.001f;

template <typename Keep>
NoteMap selectNotes(const NoteMap& notes, Keep keep)
{
    NoteMap selected;
    for (const auto& [key, note] : notes) {
        if (keep(key, note))
            selected.emplace_hint(selected.end(), key, note);
    }
    return selected;
}

PipeNote withSpan(const PipeNote& note, float start_s, float duration_s)
{
    PipeNote copy = note;
    copy.setStart_s(start_s);
    copy.setDuration_s(duration_s);
    return copy;
}

std::size_t trackIndex(int index)
{
    // A negative index wraps to a huge one, which the checked lookups reject.
    return static_cast<std::size_t>(static_cast<long long>(index));
}

} // namespace

void insertByStart(NoteMap& notes, const PipeNote& note)
{
    notes.emplace(note.start_s(), note);
}

NoteMap filterByNote(PipeNoteName name, const NoteMap& notes)
{
    return selectNotes(notes, [name](float, const PipeNote& note) { return note.noteName() == name; });
}

NoteMap filterByDuration(const NoteMap& notes, float minDuration_s, float maxDuration_s)
{
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return minDuration_s <= note.duration_s() && note.duration_s() < maxDuration_s;
    });
}

NoteMap notesOverlappingRange(const NoteMap& notes, TimeRange range, float tolerance_s)
{
    const float end_s = range.second + tolerance_s;
    const float start_s = range.first - tolerance_s;
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return note.start_s() < end_s && note.getEnd_s() > start_s;
    });
}

NoteMap notesEndingAt(const NoteMap& notes, float time_s, float tolerance_s)
{
    const float from_s = time_s - tolerance_s;
    const float to_s = time_s + tolerance_s;
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return from_s <= note.getEnd_s() && note.getEnd_s() < to_s;
    });
}

NoteMap notesStartingAt(const NoteMap& notes, float time_s, float tolerance_s)
{
    const float from_s = time_s - tolerance_s;
    const float to_s = time_s + tolerance_s;
    return selectNotes(notes, [=](float key, const PipeNote&) { return from_s <= key && key < to_s; });
}

NoteMap constrainNotes(const NoteMap& notes, TimeRange range)
{
    NoteMap constrained;
    for (const auto& entry : notes) {
        PipeNote note = entry.second;
        if (note.start_s() < range.first) {
            const float end_s = note.getEnd_s();
            note.setStart_s(range.first);
            note.setDuration_s(end_s - range.first);
        }
        if (note.duration_s() > range.second - note.start_s())
            note.setDuration_s(range.second - note.start_s());
        if (note.duration_s() > 0.0f)
            insertByStart(constrained, note);
    }
    return constrained;
}

void trimUsingExisting(const NoteMap& existing, NoteMap& notes)
{
    NoteMap trimmed;
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        const float s = note.start_s();
        const float e = note.getEnd_s();
        const NoteMap overlapping = notesOverlappingRange(existing, TimeRange(s, e), 0.0f);
        if (overlapping.empty()) {
            insertByStart(trimmed, note);
            continue;
        }
        float lo = s;
        float hi = e;
        bool remains = true;
        bool split = false;
        for (const auto& other : overlapping) {
            const float os = other.second.start_s();
            const float oe = other.second.getEnd_s();
            if (os < lo && oe > hi) {
                remains = false;
                break;
            }
            if (s <= os && os < e && s <= oe && oe < e) {
                // An accepted note inside this one: keep what lies either side.
                insertByStart(trimmed, withSpan(note, s, os - s));
                insertByStart(trimmed, withSpan(note, oe, e - oe));
                split = true;
                break;
            }
            if (s <= oe && oe < e)
                lo = std::max(lo, oe);
            if (s <= os && os < e)
                hi = std::min(hi, os);
            if (hi - lo <= 0.0f) {
                remains = false;
                break;
            }
        }
        if (remains && !split && hi - lo > 0.0f)
            insertByStart(trimmed, withSpan(note, lo, hi - lo));
    }
    notes = std::move(trimmed);
}

void simpleCombineNotes(NoteMap& notes, float gap_s)
{
    if (notes.empty())
        return;
    std::size_t before = 0;
    do {
        before = notes.size();
        auto current = notes.begin();
        while (current != notes.end()) {
            const auto next = std::next(current);
            if (next == notes.end())
                break;
            const PipeNote& c = current->second;
            const PipeNote& x = next->second;
            if (x.start_s() - c.getEnd_s() < gap_s) {
                const float start_s = std::min(c.start_s(), x.start_s());
                const float end_s = std::max(c.getEnd_s(), x.getEnd_s());
                const PipeNote merged(c.noteName(), start_s, end_s - start_s);
                notes.erase(next);
                notes.erase(current);
                current = notes.emplace(merged.start_s(), merged);
            } else {
                current = next;
            }
        }
    } while (notes.size() != before);
}

void combineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                  std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s)
{
    const std::vector<PipeNote> ordered = [&notes] {
        std::vector<PipeNote> v;
        v.reserve(notes.size());
        for (const auto& entry : notes)
            v.push_back(entry.second);
        return v;
    }();
    auto inSet = [](const std::set<PipeNoteName>& names, PipeNoteName name) { return names.count(name) > 0; };

    NoteMap combined;
    std::size_t i = 0;
    while (i < ordered.size()) {
        const PipeNote& c = ordered[i];
        bool merge = false;
        if (i + 1 < ordered.size()) {
            const PipeNote& x = ordered[i + 1];
            if (x.start_s() - c.getEnd_s() < gap_s) {
                if (c.noteName() == target)
                    merge = x.duration_s() < maxDuration_s && (inSet(always, x.noteName()) || inSet(ifShort, x.noteName()));
                else if (x.noteName() == target)
                    merge = inSet(always, c.noteName())
                            || (c.duration_s() < maxDuration_s && inSet(ifShort, c.noteName()));
            }
        }
        if (merge) {
            const PipeNote& x = ordered[i + 1];
            insertByStart(combined, PipeNote(target, c.start_s(), x.getEnd_s() - c.start_s()));
            i += 2;
        } else {
            insertByStart(combined, c);
            i += 1;
        }
    }
    notes = std::move(combined);
}

void recursiveCombineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                           std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s)
{
    if (notes.empty())
        return;
    std::size_t before = 0;
    do {
        before = notes.size();
        combineNotes(notes, target, always, ifShort, gap_s, maxDuration_s);
    } while (notes.size() != before);
}

NoteMap extractNotes(const std::vector<PipeTuning::ReferenceNote>& track, float minDuration_s, float maxDuration_s,
                     float secondsPerStep)
{
    NoteMap notes;
    if (track.empty() || !(secondsPerStep > 0.0f))
        return notes;
    const int windowLength = std::max(0, utils::truncateToInt(minDuration_s / secondsPerStep));
    DominantNote dominant(track, static_cast<unsigned int>(windowLength));

    PipeTuning::ReferenceNote previous = PipeTuning::Unknown;
    float start_s = 0.0f;
    const std::size_t last = track.size() - 1;
    for (std::size_t i = 0; i < track.size(); ++i) {
        const PipeTuning::ReferenceNote current = dominant.atPos(static_cast<unsigned int>(i), false);
        if (current == previous && i != last)
            continue;
        const float change_s = static_cast<float>(dominant.getNoteChangePos(current)) * secondsPerStep;
        if (previous == PipeTuning::Unknown) {
            start_s = change_s;
            previous = current;
            continue;
        }
        const float duration_s = change_s - start_s;
        if (minDuration_s <= duration_s && duration_s < maxDuration_s)
            insertByStart(notes, PipeNote(referenceNoteToNoteName(previous), start_s, duration_s));
        start_s = change_s;
        previous = current;
    }
    return notes;
}

void timeShiftNotes(float shift_s, const NoteMap& melodyIn, const NoteMap& graceIn, NoteMap& melodyOut,
                    NoteMap& graceOut)
{
    for (const auto& entry : melodyIn) {
        PipeNote note = entry.second;
        note.setStart_s(note.start_s() + shift_s);
        const float end_s = note.getEnd_s();
        if (!(end_s > 0.0f))
            continue;
        if (note.start_s() < 0.0f) {
            note.setStart_s(0.0f);
            note.setDuration_s(end_s);
        }
        insertByStart(melodyOut, note);
    }
    for (const auto& entry : graceIn) {
        PipeNote note = entry.second;
        note.setStart_s(note.start_s() + shift_s);
        if (note.getEnd_s() >= 0.0f)
            insertByStart(graceOut, note);
    }
}

std::vector<PipeNote> combineMelodyAndGraceNotes(const NoteMap& melody, const NoteMap& grace)
{
    std::vector<PipeNote> combined;
    combined.reserve(melody.size() + grace.size());
    auto m = melody.begin();
    auto g = grace.begin();
    while (m != melody.end() && g != grace.end()) {
        const float melodyStart_s = m->second.start_s();
        const float graceStart_s = g->second.start_s();
        if (graceStart_s < melodyStart_s - kSameStart_s || graceStart_s >= melodyStart_s + kSameStart_s) {
            if (melodyStart_s <= graceStart_s)
                combined.push_back((m++)->second);
            else
                combined.push_back((g++)->second);
        } else {
            combined.push_back((g++)->second);
            combined.push_back((m++)->second);
        }
    }
    for (; m != melody.end(); ++m)
        combined.push_back(m->second);
    for (; g != grace.end(); ++g)
        combined.push_back(g->second);
    return combined;
}

void splitMelodyAndGraceNotes(const std::vector<PipeNote>& notes, NoteMap& melody, NoteMap& grace)
{
    for (const PipeNote& note : notes)
        insertByStart(isMelodyNote(note.noteName()) ? melody : grace, note);
}

NoteMap::iterator getIteratorForNote(PipeNote note, NoteMap& notes)
{
    const float from_s = note.start_s() - kSameStart_s;
    const float to_s = note.start_s() + kSameStart_s;
    for (auto it = notes.begin(); it != notes.end(); ++it) {
        const PipeNote& candidate = it->second;
        if (candidate.noteName() == note.noteName() && from_s <= candidate.start_s() && candidate.start_s() < to_s)
            return it;
    }
    return notes.end();
}

std::vector<float> smoothSamples(const std::vector<float>& x, int blockSize, int from, int to, float minValue,
                                 float maxValue, float maxSpread)
{
    std::vector<float> smoothed;
    if (blockSize < 1)
        return smoothed;
    const int blocks = (to - from) / blockSize;
    for (int k = 0; k < blocks; ++k) {
        double sum = 0.0;
        int count = 0;
        float lowest = std::numeric_limits<float>::max();
        float highest = std::numeric_limits<float>::lowest();
        for (int j = 0; j < blockSize; ++j) {
            const float value = x.at(trackIndex(from + k * blockSize + j));
            if (minValue <= value && value < maxValue) {
                sum += value;
                ++count;
                lowest = std::min(lowest, value);
                highest = std::max(highest, value);
            }
        }
        const bool enough = static_cast<float>(count) >= static_cast<float>(blockSize) * 0.5f;
        smoothed.push_back(enough && highest - lowest < maxSpread ? static_cast<float>(sum / count) : 0.0f);
    }
    return smoothed;
}

bool validTrough(const std::vector<float>& x, int i, int halfWidth, float minDepth, float& left, float& middle,
                 float& right)
{
    left = x.at(trackIndex(i));
    middle = x.at(trackIndex(i + halfWidth));
    right = x.at(trackIndex(i + 2 * halfWidth));
    if (left == 0.0f || middle == 0.0f || right == 0.0f)
        return false;
    int zeros = 0;
    for (int k = i; k <= i + 2 * halfWidth; ++k) {
        if (x[trackIndex(k)] == 0.0f)
            ++zeros;
    }
    return static_cast<float>(zeros) < static_cast<float>(2 * halfWidth) * 0.1f && left - middle > minDepth
           && middle < right && right - middle > minDepth * 0.5f;
}

std::vector<int> detectTroughs(const std::vector<float>& x, int halfWidth, float minDepth, float maxDepth)
{
    std::vector<int> centres;
    const long long positions = static_cast<long long>(x.size()) - 2LL * halfWidth;
    if (positions <= 0 || halfWidth < 0)
        return centres;
    const int m = static_cast<int>(positions);
    int i = 0;
    while (i < m) {
        float best = 1000000.0f;
        int centre = -1;
        float left = 0.0f;
        float middle = 0.0f;
        float right = 0.0f;
        for (int j = i; j < m && validTrough(x, j, halfWidth, minDepth, left, middle, right) && middle < best; ++j) {
            best = middle;
            centre = j + halfWidth;
        }
        if (centre >= 0) {
            const float a = x.at(trackIndex(centre - halfWidth)) - x.at(trackIndex(centre));
            const float b = x.at(trackIndex(centre + halfWidth)) - x.at(trackIndex(centre));
            if (std::max(a, b) < maxDepth) {
                centres.push_back(centre);
                i = centre + halfWidth;
            }
        }
        ++i;
    }
    return centres;
}

void outputNotes(std::string label, const NoteMap& notes)
{
    qDebug() << "Vantor: " << QString::fromStdString(label);
    float previousEnd_s = 0.0f;
    bool first = true;
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        const float gap_s = first ? 0.0f : note.start_s() - previousEnd_s;
        qDebug() << note.start_s() << " - " << note.getEnd_s() << " = " << QString::fromStdString(toString(note.noteName()))
                 << " dur: " << note.duration_s() << " diff: " << gap_s;
        previousEnd_s = note.getEnd_s();
        first = false;
    }
    qDebug() << " ";
}

PitchFinder::ProcessingParams chanterProcessingParams(const PipeTuning& tuning)
{
    PitchFinder::ProcessingParams params;
    params.limitSearchToBand = true;
    params.lowFrequency_Hz =
        static_cast<float>(kBandBelowLowG * tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowG));
    params.highFrequency_Hz =
        static_cast<float>(kBandAboveHighA * tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA));
    return params;
}

void bindPeakPicker(PitchFinder& finder, PipeSnacPeakPicker& picker)
{
    PitchFinder::ProcessingParams params = finder.processingParams();
    params.peakPickerEnabled = true;
    finder.setProcessingParams(params);
    finder.snacPeakPicker = [&picker](PitchFinder& self, float* snac, int count, int first, int last,
                                      float threshold, float minimumPeak) {
        return picker.pickSnacFreq(self, snac, count, first, last, threshold, minimumPeak);
    };
}

PipeTuning calculateTuningFromFrequencies(float lowA_Hz, float minimumVolume, const std::vector<float>& frequencies,
                                          const std::vector<float>& qualities, const std::vector<float>& volumes)
{
    PipeTuning result;
    result.setLowA_Hz(lowA_Hz);
    if (frequencies.size() != qualities.size() || frequencies.size() != volumes.size())
        return result;

    std::array<float, kVolumeRingSize> volumeRing{};
    std::array<double, PipeTuning::kMelodyNoteCount> sums{};
    std::array<int, PipeTuning::kMelodyNoteCount> counts{};
    NoteRunCounter run;
    for (std::size_t i = 0; i < frequencies.size(); ++i) {
        volumeRing[i % kVolumeRingSize] = volumes[i];
        // The first ten windows fill the ring and pass without a volume test.
        if (i >= kVolumeRingSize) {
            const double ringMean = std::accumulate(volumeRing.begin(), volumeRing.end(), 0.0) / kVolumeRingSize;
            if (!(ringMean > minimumVolume))
                continue;
        }
        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        if (!run.accept(frequencies[i], qualities[i], result, note))
            continue;
        const int index = PipeTuning::referenceNoteToNoteIndex(note);
        if (index < 0)
            continue;
        sums[static_cast<std::size_t>(index)] += frequencies[i];
        ++counts[static_cast<std::size_t>(index)];
    }

    std::map<PipeTuning::ReferenceNote, float> means;
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const auto i = static_cast<std::size_t>(index);
        means[PipeTuning::noteIndexToReferenceNote(index)] =
            counts[i] == 0 ? 0.0f : static_cast<float>(sums[i] / counts[i]);
    }
    result.setTuningScheme(PipeTuning::Calibrated, means);
    return result;
}

PipeTuning calculateTuningFromData(const short* samples, unsigned int sampleCount, float samplingFrequency_Hz,
                                   int windowSize, float lowA_Hz, float minimumVolume)
{
    PipeTuning result;
    result.setLowA_Hz(lowA_Hz);
    if (samples == nullptr || windowSize <= 0 || !(samplingFrequency_Hz > 0.0f))
        return result;

    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(static_cast<std::uint32_t>(windowSize),
                                                 static_cast<std::uint32_t>(samplingFrequency_Hz)));
    finder.setProcessingParams(chanterProcessingParams(result));
    finder.setCalibration(kReferenceLowA_Hz, lowA_Hz);

    const unsigned int window = static_cast<unsigned int>(windowSize);
    const unsigned int windowCount = sampleCount >= window ? (sampleCount - window) / window : 0;
    std::vector<float> frequencies;
    std::vector<float> qualities;
    std::vector<float> volumes;
    frequencies.reserve(windowCount);
    qualities.reserve(windowCount);
    volumes.reserve(windowCount);
    for (unsigned int w = 0; w < windowCount; ++w) {
        finder.setData(samples + static_cast<std::size_t>(w) * window);
        finder.calculatePitch();
        const PitchFinder::AnalysisResults results = finder.analysisResults();
        frequencies.push_back(results.frequency_Hz);
        qualities.push_back(results.quality);
        volumes.push_back(results.volume_normalized);
    }
    return calculateTuningFromFrequencies(lowA_Hz, minimumVolume, frequencies, qualities, volumes);
}

float calcWindowAverage(const std::vector<float>& values, int start, int count, float minimumFraction)
{
    if (count <= 0)
        return 0.0f;
    const long long first = std::max(start, 0);
    const long long end = std::min(static_cast<long long>(start) + count, static_cast<long long>(values.size()));
    double sum = 0.0;
    int nonZero = 0;
    for (long long i = first; i < end; ++i) {
        const float value = values[static_cast<std::size_t>(i)];
        if (value != 0.0f) {
            sum += value;
            ++nonZero;
        }
    }
    if (nonZero == 0 || !(static_cast<float>(nonZero) > static_cast<float>(count) * minimumFraction))
        return 0.0f;
    return static_cast<float>(sum / nonZero);
}
