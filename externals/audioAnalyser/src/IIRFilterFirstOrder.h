#pragma once

// First-order recursive filter, low-pass or high-pass, designed with the
// bilinear transform (prewarped K = tan(pi fc / fs)). The transcription passes
// the recording's 16-bit PCM through it as a low-pass before pitch detection.
// Samples are not scaled. State carries over between calls, so a long signal
// may be filtered piece by piece. Used on its owner's thread only.

#include <vector>

class IIRFilterFirstOrder
{
public:
    enum Type : int {
        HighPass = 0,
        LowPass = 1
    };

    IIRFilterFirstOrder() = default;
    virtual ~IIRFilterFirstOrder() = default;

    // A non-positive or non-finite sampling frequency gives K = 0.
    void initialise(double cornerFrequency_Hz, double samplingFrequency_Hz, double gain, Type type);
    // Filters count samples into the filter's own buffer and returns it; the
    // pointer stays valid until the next call. The buffer only ever grows.
    const float* filter(const short* samples, unsigned int count);
    // Clears coefficients, state and type and releases the buffer.
    void reset();

    double feedbackCoefficient() const { return mA; }
    double inputGain() const { return mInputGain; }

private:
    double mCornerFrequency_Hz = 0.0;
    double mSamplingFrequency_Hz = 0.0;
    double mK = 0.0;
    double mA = 0.0;
    double mInputGain = 0.0;
    double mOutputGain = 0.0;
    double mX1 = 0.0;
    double mY1 = 0.0;
    Type mType = HighPass;
    int mSign = 1;
    std::vector<float> mBuffer;
};
