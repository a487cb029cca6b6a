#include "ClickSuppressor.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Linear interpolation is enough: a click is a few tones well below the
// Nyquist frequency of any rate a recording is made at.
std::vector<float> resampled(const std::vector<short>& sound, double step)
{
    std::vector<float> result;
    if (sound.empty() || !(step > 0.0))
        return result;
    const std::size_t count = static_cast<std::size_t>(static_cast<double>(sound.size() - 1) / step) + 1;
    result.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const double at = static_cast<double>(k) * step;
        const std::size_t left = static_cast<std::size_t>(at);
        const std::size_t right = std::min(left + 1, sound.size() - 1);
        const double fraction = at - static_cast<double>(left);
        result.push_back(static_cast<float>((1.0 - fraction) * sound[left] + fraction * sound[right]));
    }
    return result;
}

} // namespace

void ClickSuppressor::setSounds(const std::vector<Sound>& sounds, float recordingRate_Hz)
{
    mRate_Hz = recordingRate_Hz;
    mSounds.clear();
    mSoundEnergies.clear();
    for (const Sound& sound : sounds) {
        mSounds.push_back(resampled(sound.samples, static_cast<double>(sound.rate_Hz) / recordingRate_Hz));
        double energy = 0.0;
        for (float value : mSounds.back())
            energy += static_cast<double>(value) * value;
        mSoundEnergies.push_back(energy);
    }
    mListening = std::any_of(mSoundEnergies.begin(), mSoundEnergies.end(), [](double e) { return e > 0.0; });
}

void ClickSuppressor::addClick(std::size_t position, int sound)
{
    if (mDeaf || sound < 0 || static_cast<std::size_t>(sound) >= mSounds.size()
        || !(mSoundEnergies[static_cast<std::size_t>(sound)] > 0.0))
        return;
    mPending.push_back({position, static_cast<std::size_t>(sound)});
}

long ClickSuppressor::medianDelay() const
{
    std::vector<long> delays = mDelays;
    std::nth_element(delays.begin(), delays.begin() + static_cast<long>(delays.size() / 2), delays.end());
    return delays[delays.size() / 2];
}

std::size_t ClickSuppressor::earliestStart(const Click& click) const
{
    const long position = static_cast<long>(click.position);
    long earliest = position - std::lround(kEarliness_s * mRate_Hz);
    if (!mDelays.empty())
        earliest = std::max(earliest, position + medianDelay() - std::lround(kDelayTolerance_s * mRate_Hz));
    return static_cast<std::size_t>(std::max(0L, earliest));
}

std::size_t ClickSuppressor::latestStart(const Click& click) const
{
    const long position = static_cast<long>(click.position);
    long latest = position + std::lround(kMaximumDelay_s * mRate_Hz);
    if (!mDelays.empty())
        latest = std::min(latest, position + medianDelay() + std::lround(kDelayTolerance_s * mRate_Hz));
    return static_cast<std::size_t>(std::max(0L, latest));
}

ClickSuppressor::Span ClickSuppressor::pass(const short* samples, std::size_t count)
{
    if ((!listening() || mDeaf) && mHeld.empty()) {
        // Nothing to take out: counted, not copied.
        mHeldStart += count;
        return {samples, count};
    }
    mOut.clear();
    mHeld.insert(mHeld.end(), samples, samples + count);
    resolve(false);
    if (mDeaf) {
        // The microphone does not hear the click: nothing more is held back.
        mPending.clear();
        release(mHeldStart + mHeld.size());
        return {mOut.data(), mOut.size()};
    }
    // A click told later may be heard a little before its place, which is
    // no earlier than the end of what has come in; one not found yet may
    // reach any sample from its earliest start on.
    const std::size_t end = mHeldStart + mHeld.size();
    const std::size_t earliness = static_cast<std::size_t>(std::lround(kEarliness_s * mRate_Hz));
    std::size_t ready = end - std::min(end, earliness);
    for (const Click& click : mPending)
        ready = std::min(ready, earliestStart(click));
    release(ready);
    return {mOut.data(), mOut.size()};
}

ClickSuppressor::Span ClickSuppressor::drain()
{
    mOut.clear();
    resolve(true);
    release(mHeldStart + mHeld.size());
    return {mOut.data(), mOut.size()};
}

void ClickSuppressor::reset()
{
    mUnheard = 0;
    mDeaf = false;
    mPending.clear();
    mDelays.clear();
    mFound.clear();
    mHeld.clear();
    mHeldStart = 0;
    mOut.clear();
}

void ClickSuppressor::resolve(bool atEnd)
{
    const std::size_t end = mHeldStart + mHeld.size();
    while (!mPending.empty()) {
        const Click click = mPending.front();
        // (Sounds replaced by fewer while it waited.)
        if (click.sound >= mSounds.size()) {
            mPending.pop_front();
            continue;
        }
        // The whole range it may start in, and its sound after the latest.
        if (!atEnd && end < latestStart(click) + mSounds[click.sound].size() + maximumPeriod() + 2)
            return;
        remove(click);
        mPending.pop_front();
    }
}

ClickSuppressor::Predictor ClickSuppressor::chanterPredictor(std::size_t from, std::size_t to) const
{
    // The autocorrelation method over the window: the same three-by-three
    // system for every period, only its right-hand side moves.
    const std::size_t longest = maximumPeriod() + 1;
    std::vector<double> r(longest + 1, 0.0);
    for (std::size_t lag = 0; lag <= longest; ++lag)
        for (std::size_t n = from + lag; n < to; ++n)
            r[lag] += static_cast<double>(mHeld[n]) * mHeld[n - lag];
    Predictor predictor;
    if (!(r[0] > 0.0))
        return predictor;
    // A touch of white noise keeps the system well away from singular.
    const double r0 = r[0] * (1.0 + 1e-6);
    const double m[3][3] = {{r0, r[1], r[2]}, {r[1], r0, r[1]}, {r[2], r[1], r0}};
    const double det = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1])
                       - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0])
                       + m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    if (!(std::abs(det) > 0.0))
        return predictor;
    double bestGain = 0.0;
    for (std::size_t period = minimumPeriod(); period <= maximumPeriod(); ++period) {
        const double b[3] = {r[period - 1], r[period], r[period + 1]};
        double taps[3];
        // Cramer's rule, column by column.
        for (int column = 0; column < 3; ++column) {
            double c[3][3];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    c[i][j] = j == column ? b[i] : m[i][j];
            taps[column] = (c[0][0] * (c[1][1] * c[2][2] - c[1][2] * c[2][1])
                            - c[0][1] * (c[1][0] * c[2][2] - c[1][2] * c[2][0])
                            + c[0][2] * (c[1][0] * c[2][1] - c[1][1] * c[2][0]))
                           / det;
        }
        // What the prediction takes out of the window's energy.
        const double gain = taps[0] * b[0] + taps[1] * b[1] + taps[2] * b[2];
        if (gain > bestGain) {
            bestGain = gain;
            predictor.period = period;
            std::copy(std::begin(taps), std::end(taps), std::begin(predictor.taps));
        }
    }
    return predictor;
}

std::size_t ClickSuppressor::minimumPeriod() const
{
    return static_cast<std::size_t>(std::max(2L, std::lround(mRate_Hz / kHighestChanterPitch_Hz)));
}

std::size_t ClickSuppressor::maximumPeriod() const
{
    return std::max(minimumPeriod(), static_cast<std::size_t>(std::lround(mRate_Hz / kLowestChanterPitch_Hz)));
}

void ClickSuppressor::remove(const Click& click)
{
    const std::vector<float>& sound = mSounds[click.sound];
    const std::size_t length = sound.size();
    const std::size_t end = mHeldStart + mHeld.size();
    const std::size_t whitenedLength = length + maximumPeriod() + 2;
    Found found;
    found.played = click.position;
    // Samples already given out cannot be changed (a click told late).
    const std::size_t first = std::max(earliestStart(click), mHeldStart);
    const std::size_t last = end >= whitenedLength ? std::min(latestStart(click), end - whitenedLength) : 0;
    if (end < whitenedLength || last < first) {
        mFound.push_back(found);
        return;
    }
    // Offsets into the held samples from here on.
    const std::size_t from = first - mHeldStart;
    const std::size_t to = last - mHeldStart;

    // The chanter under the click is all but periodic and the click is
    // not: both are passed through the filter that predicts the chanter
    // from a period ago, which leaves little of the chanter and most of the
    // click, so that a click well under the chanter is found as one above
    // it is.
    const Predictor predictor = chanterPredictor(from, to + length);
    const auto whitened = [&](auto&& value, long n) {
        const long period = static_cast<long>(predictor.period);
        return value(n) - predictor.taps[0] * value(n - period + 1) - predictor.taps[1] * value(n - period)
               - predictor.taps[2] * value(n - period - 1);
    };
    const auto heldAt = [&](long n) {
        return n >= 0 && n < static_cast<long>(mHeld.size()) ? static_cast<double>(mHeld[static_cast<std::size_t>(n)])
                                                               : 0.0;
    };
    const auto soundAt = [&](long n) {
        return n >= 0 && n < static_cast<long>(length) ? static_cast<double>(sound[static_cast<std::size_t>(n)]) : 0.0;
    };
    const std::size_t period = predictor.period;
    const std::size_t span = period > 0 ? length + period + 1 : length;
    // The whitened recording from the first start on, and the running sums
    // of its energy.
    std::vector<double>& heldWhite = mHeldWhite;
    heldWhite.resize(to - from + span);
    std::vector<double>& heldEnergy = mHeldEnergy;
    heldEnergy.assign(heldWhite.size() + 1, 0.0);
    for (std::size_t n = 0; n < heldWhite.size(); ++n) {
        heldWhite[n] = whitened(heldAt, static_cast<long>(from + n));
        heldEnergy[n + 1] = heldEnergy[n] + heldWhite[n] * heldWhite[n];
    }
    const auto energyOver = [&](std::size_t begin, std::size_t stop) {
        return std::max(0.0, heldEnergy[stop] - heldEnergy[begin]);
    };
    // The correlation of the whitened sound with the whitened recording
    // from a start on is that of the sound itself with the whitened
    // recording passed back through the predictor, sum over m of
    // sound[m] * adjoint[start + m]; that of the sound with its first d
    // samples cut off is the same sum from m = d on.
    std::vector<double>& adjoint = mAdjoint;
    adjoint.resize(to - from + length);
    for (std::size_t n = 0; n < adjoint.size(); ++n) {
        adjoint[n] = heldWhite[n];
        if (period > 0)
            adjoint[n] -= predictor.taps[0] * heldWhite[n + period - 1] + predictor.taps[1] * heldWhite[n + period]
                          + predictor.taps[2] * heldWhite[n + period + 1];
    }
    // The inverse whitened energy of the sound with its first cut samples
    // cut off.
    const auto inverseEnergy = [&](std::size_t cut) {
        const auto cutAt = [&](long n) { return n >= static_cast<long>(cut) ? soundAt(n) : 0.0; };
        double energy = 0.0;
        for (std::size_t m = cut; m < span; ++m) {
            const double value = whitened(cutAt, static_cast<long>(m));
            energy += value * value;
        }
        return energy > 0.0 ? 1.0 / energy : 0.0;
    };
    std::vector<double>& inverseEnergies = mInverseEnergies;
    inverseEnergies.assign(1, inverseEnergy(0));
    if (!(inverseEnergies[0] > 0.0)) {
        mFound.push_back(found);
        return;
    }
    // The sound from m on against the recording from start on, summed four
    // ways at once so that the sums need not wait on one another.
    const auto correlationFrom = [&](std::size_t start, std::size_t m) {
        const double* recording = adjoint.data() + start;
        double sums[4] = {0.0, 0.0, 0.0, 0.0};
        for (; m + 4 <= length; m += 4)
            for (std::size_t k = 0; k < 4; ++k)
                sums[k] += sound[m + k] * recording[m + k];
        for (; m < length; ++m)
            sums[0] += sound[m] * recording[m];
        return (sums[0] + sums[1]) + (sums[2] + sums[3]);
    };

    // The sound is where subtracting it takes most out: where its
    // correlation with the recording, squared over its energy, is largest.
    // (The normalised correlation would not do: a decaying tone matches its
    // own quieter tail as well as its onset.)
    struct Fit {
        std::size_t start = 0;
        std::size_t cut = 0;
        double correlation = 0.0;
        double removed = 0.0;
    };
    Fit whole;
    for (std::size_t start = 0; start + from <= to; ++start) {
        const double correlation = correlationFrom(start, 0);
        // A speaker or microphone may turn the sound upside down.
        const double removed = correlation * correlation * inverseEnergies[0];
        if (removed > whole.removed)
            whole = {start, 0, correlation, removed};
    }

    // A sound server that starts a sound after its time may skip what is
    // already overdue, and the click is then heard without its onset. The
    // whole sound then lines its own onset up with the first that is heard,
    // give or take a period of the click's tone; the sound cut is looked for
    // only where it would start so. It is taken only when it accounts for at
    // least half of what the whole sound leaves (the chanter under a whole
    // click never does), and for more than rounding.
    const double leftByWhole = energyOver(whole.start, whole.start + span) - whole.removed;
    Fit cutFit;
    if (leftByWhole > 1e-3 * whole.removed) {
        const std::size_t cuts =
            std::min(static_cast<std::size_t>(std::lround(kMaximumCut_s * mRate_Hz)), length / 2) + 1;
        const std::size_t reach = static_cast<std::size_t>(std::lround(kCutOnsetReach_s * mRate_Hz));
        inverseEnergies.resize(cuts);
        for (std::size_t cut = 1; cut < cuts; ++cut)
            inverseEnergies[cut] = inverseEnergy(cut);
        std::vector<double>& before = mCutCorrelations;
        before.resize(cuts);
        const std::size_t lastStart = std::min(to - from, whole.start + reach);
        for (std::size_t start = whole.start - std::min(whole.start, cuts + reach); start <= lastStart; ++start) {
            const double* recording = adjoint.data() + start;
            double correlation = 0.0;
            for (std::size_t m = 0; m < cuts; ++m) {
                before[m] = correlation;
                correlation += sound[m] * recording[m];
            }
            correlation += correlationFrom(start, cuts);
            for (std::size_t cut = 1; cut < cuts; ++cut) {
                const double rest = correlation - before[cut];
                const double removed = rest * rest * inverseEnergies[cut];
                if (removed > cutFit.removed)
                    cutFit = {start, cut, rest, removed};
            }
        }
    }
    const double gainedByCut = cutFit.removed - whole.removed;
    const Fit& fit = gainedByCut > 0.5 * leftByWhole && gainedByCut > 1e-3 * whole.removed ? cutFit : whole;
    const double heardEnergy = energyOver(fit.start + fit.cut, fit.start + span);
    const double match = heardEnergy > 0.0 ? fit.correlation * std::sqrt(inverseEnergies[fit.cut] / heardEnergy) : 0.0;
    found.heard = first + fit.start;
    found.cut = fit.cut;
    found.match = static_cast<float>(match);
    // Until one click has been heard beyond doubt, as one under headphones
    // never is, a weaker match is the chanter's and is left alone.
    const bool heardBefore = !mDelays.empty();
    if (std::abs(match) >= kConfidentMatch || (heardBefore && std::abs(match) >= kMinimumMatch)) {
        // The least-squares gain, where the chanter is least in the way.
        const double gain = fit.correlation * inverseEnergies[fit.cut];
        short* target = mHeld.data() + from + fit.start;
        for (std::size_t n = fit.cut; n < length; ++n) {
            const double value = std::round(target[n] - gain * sound[n]);
            target[n] = static_cast<short>(std::clamp(value, static_cast<double>(std::numeric_limits<short>::min()),
                                                      static_cast<double>(std::numeric_limits<short>::max())));
        }
        found.removed = true;
    }
    // A click the microphone hears is heard at every beat; none among the
    // first few means headphones (or the speakers off).
    if (mDelays.empty() && std::abs(match) < kConfidentMatch && ++mUnheard >= kUnheardBeforeDeaf)
        mDeaf = true;
    if (std::abs(match) >= kConfidentMatch) {
        mDelays.push_back(static_cast<long>(found.heard) - static_cast<long>(click.position));
        if (mDelays.size() > kDelayHistory)
            mDelays.erase(mDelays.begin());
    }
    mFound.push_back(found);
}

void ClickSuppressor::release(std::size_t position)
{
    if (position <= mHeldStart)
        return;
    const std::size_t count = std::min(position - mHeldStart, mHeld.size());
    mOut.insert(mOut.end(), mHeld.begin(), mHeld.begin() + static_cast<long>(count));
    mHeld.erase(mHeld.begin(), mHeld.begin() + static_cast<long>(count));
    mHeldStart += count;
}
