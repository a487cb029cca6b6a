#include "IIRFilterFirstOrder.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

} // namespace

void IIRFilterFirstOrder::initialise(double cornerFrequency_Hz, double samplingFrequency_Hz, double gain, Type type)
{
    mCornerFrequency_Hz = cornerFrequency_Hz;
    mSamplingFrequency_Hz = samplingFrequency_Hz;
    mOutputGain = gain;
    mType = type;
    const bool validRate = samplingFrequency_Hz > 0.0 && std::isfinite(samplingFrequency_Hz);
    mK = validRate ? std::tan(kPi * cornerFrequency_Hz / samplingFrequency_Hz) : 0.0;
    mA = (1.0 - mK) / (1.0 + mK);
    mSign = type == HighPass ? 1 : -1;
    mInputGain = (mSign * mA + 1.0) * 0.5;
    mX1 = 0.0;
    mY1 = 0.0;
}

const float* IIRFilterFirstOrder::filter(const short* samples, unsigned int count)
{
    if (samples == nullptr)
        count = 0;
    if (count > mBuffer.size())
        mBuffer.resize(count);
    const double g = mInputGain;
    for (unsigned int i = 0; i < count; ++i) {
        const double x = samples[i];
        const double y = mA * mY1 + (g * x - mSign * g * mX1);
        mY1 = y;
        mX1 = x;
        mBuffer[i] = static_cast<float>(y * mOutputGain);
    }
    return mBuffer.data();
}

void IIRFilterFirstOrder::reset()
{
    *this = IIRFilterFirstOrder();
    std::vector<float>().swap(mBuffer);
}
