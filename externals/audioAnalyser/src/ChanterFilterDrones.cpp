// The drones found in the steady spectrum a ChanterFilter keeps: where
// their lines are, the bass and the tenors to a fraction of a cent, and the
// tenors' beat.

#include "ChanterFilter.h"

#include "utils.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Where drones' fundamentals can be: a bass two octaves, a tenor one octave
// under a Low A of 380 to 540 Hz.
constexpr float kLowestBass_Hz = 95.0f;
constexpr float kHighestBass_Hz = 135.0f;
// The chanter's lowest note (Low G under the lowest Low A) lies above this:
// lines below it are not the chanter's.
constexpr float kBelowTheChanter_Hz = 330.0f;
// Harmonics weighed when looking for the drones.
constexpr float kHighestHarmonic_Hz = 2000.0f;
// A line stands this far above the spectrum's floor around it.
constexpr float kLine_dB = 10.0f;
// The floor around a bin: a low percentile of the bins within this many.
constexpr int kFloorReach = 8;
constexpr float kFloorPercentile = 0.2f;
// How far the tenors' octave can be from the bass's: 40 cents.
const float kTenorReach = std::pow(2.0f, -40.0f / 1200.0f);
constexpr float kTinyPower = 1e-12f;
// A line sounds alone in a frame where its power is within this factor of
// its median: the chanter on it is far louder, a beat's trough far softer.
constexpr float kAlone = 4.0f;
// Tenors beat at most this fast: by ear they are tuned closer.
constexpr float kFastestBeat_Hz = 3.0f;
// Lines over seconds closer than this are one (the drones waver by a cent
// or so), and a second line this much weaker than the first is none.
constexpr double kLineWidth_Hz = 0.15;
constexpr double kSecondLine = 0.1;

} // namespace

DroneSet ChanterFilter::findDrones() const
{
    const std::size_t bins = mMedian.size();
    std::vector<float> level(bins);
    for (std::size_t k = 0; k < bins; ++k)
        level[k] = 10.0f * std::log10(mMedian[k] + kTinyPower);
    std::vector<float> floor(bins);
    std::vector<float> around;
    for (std::size_t k = 0; k < bins; ++k) {
        const std::size_t from = k >= static_cast<std::size_t>(kFloorReach) ? k - kFloorReach : 0;
        const std::size_t to = std::min(bins, k + kFloorReach + 1);
        around.assign(level.begin() + static_cast<long>(from), level.begin() + static_cast<long>(to));
        const auto at = around.begin() + static_cast<long>(kFloorPercentile * static_cast<float>(around.size()));
        std::nth_element(around.begin(), at, around.end());
        floor[k] = *at;
    }
    // How far the strongest bin within reach of frequency_Hz stands above the floor.
    const auto line_dB = [&](float frequency_Hz, long reach) {
        const long centre = std::lround(binOf(frequency_Hz));
        if (centre < reach || centre + reach >= static_cast<long>(bins))
            return 0.0f;
        float best = -1000.0f;
        for (long k = centre - reach; k <= centre + reach; ++k)
            best = std::max(best, level[static_cast<std::size_t>(k)] - floor[static_cast<std::size_t>(centre)]);
        return std::clamp(best, 0.0f, 30.0f);
    };
    // The fundamental in [low_Hz, high_Hz] whose harmonics stand out most on average.
    const float step_Hz = mRate_Hz / static_cast<float>(mFrameLength) / 40.0f;
    const auto bestComb = [&](float low_Hz, float high_Hz, float& score) {
        float best_Hz = 0.0f;
        score = 0.0f;
        for (float f0 = low_Hz; f0 <= high_Hz; f0 += step_Hz) {
            float sum = 0.0f;
            int count = 0;
            for (int h = 1; static_cast<float>(h) * f0 <= kHighestHarmonic_Hz; ++h, ++count)
                sum += line_dB(static_cast<float>(h) * f0, 1);
            const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
            if (mean > score) {
                score = mean;
                best_Hz = f0;
            }
        }
        return best_Hz;
    };
    // The bass: its harmonics stand out on average, its second (always
    // under the chanter) is a line, and nothing halfway between them is,
    // which would make them the even harmonics of a lower fundamental.
    float score = 0.0f;
    const float bass_Hz = bestComb(kLowestBass_Hz, kHighestBass_Hz, score);
    if (!(bass_Hz > 0.0f) || score < kLine_dB / 2.0f || line_dB(2.0f * bass_Hz, 1) < kLine_dB)
        return DroneSet();
    float halfway = 0.0f;
    float harmonics = 0.0f;
    int count = 0;
    for (int h = 1; (static_cast<float>(h) + 0.5f) * bass_Hz <= 2.0f * kBelowTheChanter_Hz; ++h, ++count) {
        halfway += line_dB((static_cast<float>(h) + 0.5f) * bass_Hz, 0);
        harmonics += line_dB(static_cast<float>(h) * bass_Hz, 0);
    }
    if (count > 0 && (harmonics - halfway) / static_cast<float>(count) < kLine_dB)
        return DroneSet();
    DroneSet found;
    DroneSet::Drone bass;
    bass.kind = DroneSet::Drone::Kind::Bass;
    // The bass's third harmonic lies under the chanter's lowest note and on
    // no tenor's: its phase gives the bass to a fraction of a cent.
    bass.frequency_Hz = lineFrequency_Hz(3.0f * refinedFundamental(level, bass_Hz)) / 3.0f;
    found.drones.push_back(bass);
    // The tenors an octave above, tuned by ear within a few tens of cents of
    // the bass's octave: their lines part from the bass's higher up.
    const float octave_Hz = 2.0f * bass.frequency_Hz;
    float tenorScore = 0.0f;
    const float tenor_Hz = bestComb(octave_Hz * kTenorReach, octave_Hz / kTenorReach, tenorScore);
    if (tenor_Hz > 0.0f && tenorScore >= kLine_dB / 2.0f) {
        DroneSet::Drone tenor;
        tenor.kind = DroneSet::Drone::Kind::Tenor;
        // The tenors' third harmonic is their strongest and the bass's sixth,
        // under it, is weak; where two tenors sound it swings at three times
        // their beat, around their mean.
        // their beat, around their mean: over seconds the two lines part.
        const float third_Hz = lineFrequency_Hz(3.0f * refinedFundamental(level, tenor_Hz));
        std::vector<float> lines = resolvedLines_Hz(third_Hz, 3.0f * kFastestBeat_Hz, 6.0f * bass.frequency_Hz);
        if (lines.empty())
            lines.push_back(third_Hz);
        std::sort(lines.begin(), lines.end(), std::greater<>());
        for (float line_Hz : lines) {
            tenor.frequency_Hz = line_Hz / 3.0f;
            found.drones.push_back(tenor);
        }
        if (lines.size() == 2)
            found.tenorBeat_Hz = (lines[0] - lines[1]) / 3.0f;
    }
    return found;
}

float ChanterFilter::refinedFundamental(const std::vector<float>& level, float fundamental_Hz) const
{
    // Each line's peak between bins (a parabola through the log levels),
    // the harmonic numbers weighing the higher lines' finer evidence.
    double weighted = 0.0;
    double weights = 0.0;
    for (int h = 1; static_cast<float>(h) * fundamental_Hz <= kHighestHarmonic_Hz; ++h) {
        const long centre = std::lround(binOf(static_cast<float>(h) * fundamental_Hz));
        if (centre < 2 || centre + 2 >= static_cast<long>(level.size()))
            break;
        long peak = centre;
        for (long k = centre - 1; k <= centre + 1; ++k)
            if (level[static_cast<std::size_t>(k)] > level[static_cast<std::size_t>(peak)])
                peak = k;
        const float left = level[static_cast<std::size_t>(peak - 1)];
        const float middle = level[static_cast<std::size_t>(peak)];
        const float right = level[static_cast<std::size_t>(peak + 1)];
        if (middle < left || middle < right)
            continue;
        const float curvature = left - 2.0f * middle + right;
        const float offset = curvature < 0.0f ? 0.5f * (left - right) / curvature : 0.0f;
        const double frequency_Hz = (static_cast<double>(peak) + offset) * mRate_Hz / static_cast<double>(mFrameLength);
        weighted += static_cast<double>(h) * frequency_Hz;
        weights += static_cast<double>(h) * h;
    }
    return weights > 0.0 ? static_cast<float>(weighted / weights) : fundamental_Hz;
}

float ChanterFilter::lineFrequency_Hz(float approximate_Hz) const
{
    const long bin = std::lround(binOf(approximate_Hz));
    if (bin < 1 || static_cast<std::size_t>(bin) >= mLowBins)
        return approximate_Hz;
    const std::size_t k = static_cast<std::size_t>(bin);
    std::vector<float> frequencies;
    for (const Heard& frame : mHistory) {
        const float power = frame.power[k];
        if (power <= kAlone * mMedian[k] && power * kAlone >= mMedian[k] && !frame.frequency_Hz.empty())
            frequencies.push_back(frame.frequency_Hz[k]);
    }
    if (frequencies.size() < mHistory.size() / 4)
        return approximate_Hz;
    return utils::middleValue(frequencies);
}

std::vector<float> ChanterFilter::resolvedLines_Hz(float approximate_Hz, float reach_Hz, float exclude_Hz) const
{
    const long bin = std::lround(binOf(approximate_Hz));
    if (bin < 1 || static_cast<std::size_t>(bin) >= mLowBins || mHistory.size() < 16)
        return {};
    const std::size_t k = static_cast<std::size_t>(bin);
    // A bin's values frame after frame are what sounds near its frequency,
    // shifted down and sampled at the frame rate: their spectrum over the
    // seconds of the history parts lines a fraction of a hertz apart.
    // Frames where something else is on the line are left out.
    const std::size_t count = mHistory.size();
    std::vector<std::complex<double>> values(count);
    for (std::size_t m = 0; m < count; ++m) {
        const Heard& frame = mHistory[m];
        const bool alone = frame.power[k] <= kAlone * mMedian[k];
        const double window = 0.5 - 0.5 * std::cos(2.0 * kPi * (static_cast<double>(m) + 0.5) / static_cast<double>(count));
        values[m] = alone ? window * std::complex<double>(frame.low[k]) : std::complex<double>();
    }
    const double hop_s = static_cast<double>(mHop) / mRate_Hz;
    const auto strength = [&](double frequency_Hz) {
        const std::complex<double> turn = std::polar(1.0, -2.0 * kPi * frequency_Hz * hop_s);
        std::complex<double> rotation(1.0, 0.0);
        std::complex<double> sum;
        for (std::size_t m = 0; m < count; ++m) {
            sum += values[m] * rotation;
            rotation *= turn;
        }
        return std::norm(sum);
    };
    // Six points across a line's main lobe, its peak found between them.
    const double step_Hz = 0.3 / (hop_s * static_cast<double>(count));
    std::vector<double> grid;
    for (double f = approximate_Hz - reach_Hz; f <= approximate_Hz + reach_Hz; f += step_Hz)
        grid.push_back(strength(f));
    // Peaks between grid points (a parabola through the log strengths),
    // strongest first.
    std::vector<std::pair<double, float>> peaks;
    for (std::size_t n = 1; n + 1 < grid.size(); ++n) {
        if (!(grid[n] > grid[n - 1] && grid[n] >= grid[n + 1]))
            continue;
        const double left = std::log(grid[n - 1] + 1e-30);
        const double middle = std::log(grid[n] + 1e-30);
        const double right = std::log(grid[n + 1] + 1e-30);
        const double curvature = left - 2.0 * middle + right;
        const double offset = curvature < 0.0 ? 0.5 * (left - right) / curvature : 0.0;
        const double frequency_Hz = approximate_Hz - reach_Hz + (static_cast<double>(n) + offset) * step_Hz;
        if (std::abs(frequency_Hz - exclude_Hz) < kLineWidth_Hz)
            continue;
        peaks.emplace_back(grid[n], static_cast<float>(frequency_Hz));
    }
    std::sort(peaks.begin(), peaks.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<float> lines;
    for (const auto& [power, frequency_Hz] : peaks) {
        if (!lines.empty() && power < kSecondLine * peaks.front().first)
            break;
        lines.push_back(frequency_Hz);
        if (lines.size() == 2)
            break;
    }
    return lines;
}
