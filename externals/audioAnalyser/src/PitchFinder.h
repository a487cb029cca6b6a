#pragma once

// Finds the fundamental frequency, loudness and clarity of one analysis
// window of 16-bit PCM with the specially normalised autocorrelation (SNAC,
// McLeod and Wyvill, "A Smarter Way to Find Pitch", 2005), computed through
// real FFTs (KISS FFT), and keeps a short history of pitches that yields a
// stable averaged frequency. A track of overlapping windows (setNextData)
// updates the autocorrelation from the samples that left and entered the
// window instead of transforming every window: the same pitch, clarity and
// volume to within rounding, at a fraction of the cost.
//
// Call order: setDataParams, setProcessingParams, optionally the SNAC
// constants, snacPeakPicker and setCalibration; then for every window
// setData, calculatePitch and analysisResults. A silent or constant window
// gives volume 0 and frequency 0. Buffers and FFT plans are allocated only
// when the window size changes. One owner, one thread; not copyable.

#include "NoteAverager.h"
#include "NoteCalibrator.h"
#include "SlidingAutocorrelation.h"

#include <kiss_fftr.h>

#include <cstdint>
#include <functional>
#include <vector>

class PitchFinder
{
public:
    struct DataParams {
        DataParams() = default;
        DataParams(std::uint32_t windowSize_, std::uint32_t samplingFrequency_Hz_)
            : windowSize(windowSize_), samplingFrequency_Hz(samplingFrequency_Hz_)
        {
        }
        // Bytes of one window of 16-bit samples.
        std::uint32_t dataSize_B() const { return windowSize * 2; }
        bool operator==(const DataParams& other) const
        {
            return windowSize == other.windowSize && samplingFrequency_Hz == other.samplingFrequency_Hz;
        }
        bool operator!=(const DataParams& other) const { return !(*this == other); }

        std::uint32_t windowSize = 0;
        std::uint32_t samplingFrequency_Hz = 0;
    };

    struct ProcessingParams {
        // 0 none, 1 Hanning; the pitch computation applies no window.
        std::uint32_t windowType = 0;
        bool bandpassEnabled = false;
        // Restricts the period search to the lags of the band.
        bool limitSearchToBand = false;
        // Calls snacPeakPicker after each window.
        bool peakPickerEnabled = false;
        float lowFrequency_Hz = 1.0f;
        float highFrequency_Hz = 44100.0f;
    };

    struct AnalysisResults {
        float volume_normalized = 0.0f;      // 0 at or below -120 dB, 1 at 0 dB
        float averageFrequency_Hz = 0.0f;    // the note averager's average
        float frequency_Hz = 0.0f;           // 0 when no pitch was found
        float calibrationState = 0.0f;       // NoteCalibrator::State as float
        float calibratedFrequency_Hz = 0.0f;
        float calibrationMultiplier = 1.0f;
        float pickedFrequency_Hz = 0.0f;     // the peak picker's choice
        float quality = 0.0f;                // SNAC value of the highest maximum
    };

    // (finder, SNAC array, element count, first index, last index,
    // threshold, minimum peak) -> frequency in Hz or 0.
    using SnacPeakPicker = std::function<float(PitchFinder&, float*, int, int, int, float, float)>;

    PitchFinder();
    virtual ~PitchFinder();
    PitchFinder(const PitchFinder&) = delete;
    PitchFinder& operator=(const PitchFinder&) = delete;

    void setDataParams(const DataParams& params);
    // Clamps the band to 1..44100 Hz with high >= low.
    void setProcessingParams(const ProcessingParams& params);
    const DataParams& dataParams() const { return mDataParams; }
    const ProcessingParams& processingParams() const { return mProcessingParams; }

    // Copies windowSize samples (unscaled) into the analysis buffer.
    void setData(const short* samples);
    void setData(const float* samples);
    // The window hop samples after the last one: when the last window came
    // through here and its last windowSize - hop samples begin this one, the
    // autocorrelation is updated from the hop samples that left and entered;
    // otherwise, or with refresh, it is computed afresh in double precision.
    // A track refreshes every so often, at windows fixed by their place in
    // the recording, so that rounding never accumulates and the results do
    // not depend on how the track was cut into calls. With the band-pass on,
    // the same as setData.
    void setNextData(const float* samples, unsigned int hop, bool refresh);
    void setNextData(const short* samples, unsigned int hop, bool refresh);
    // How often a track of windows refreshes: at every window whose index in
    // the recording is a multiple of this.
    static constexpr unsigned int kRefreshInterval = 256;

    void calculatePitch();
    AnalysisResults analysisResults() const;

    // Interpolated frequency of the SNAC maximum at index (lag index + 1);
    // 0 for index 0 or an index outside the array.
    float getSnacFrequency_Hz(int index) const;

    // Sets the averager's note grid so that measuredFrequency_Hz counts as
    // referenceFrequency_Hz (the transcription passes 440 and the chanter's
    // Low A).
    void setCalibration(float referenceFrequency_Hz, float measuredFrequency_Hz);
    NoteCalibrator& calibrator() { return mCalibrator; }

    float snacPeakThreshold = 0.9f;
    float minimumSnacPeak = 0.6f;
    SnacPeakPicker snacPeakPicker;

private:
    bool analyseWindow(float& frequency_Hz, float& dB);
    void applyBandpass();
    float computeSnac();
    float computeSnacFromSums();
    float interpolatedLag(int index) const;
    void releaseBuffers();
    void allocateBuffers();
    void clampBand();

    DataParams mDataParams;
    ProcessingParams mProcessingParams;

    unsigned int mTransformSize = 0;   // M: window plus half a window of zeros
    std::vector<float> mInput;
    std::vector<float> mWork;
    std::vector<float> mSnac;
    // Key maxima of the current window (scratch space).
    std::vector<int> mMaxima;
    std::vector<kiss_fft_cpx> mSpectrum;
    std::vector<float> mConverted;      // 16-bit samples of setNextData as floats
    kiss_fftr_cfg mForwardPlan = nullptr;
    kiss_fftr_cfg mInversePlan = nullptr;

    // The sums of the track's current window; mSumsHoldInput while they
    // belong to the samples in mInput, left as they came.
    SlidingAutocorrelation mCorrelation;
    bool mSumsHoldInput = false;

    float mFrequency_Hz = 0.0f;
    float mAverageFrequency_Hz = 0.0f;
    float mRawFrequency_Hz = 0.0f;
    float mVolume_normalized = 0.0f;
    float mPickedFrequency_Hz = 0.0f;
    float mQuality = 0.0f;

    NoteCalibrator mCalibrator;
    NoteAverager mNoteAverager;
    float mAveragingPeriod_s = 1.0f;
    float mNoteChangePeriod_s = 0.15f;
};
