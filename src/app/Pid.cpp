#include "Pid.h"

#include <algorithm>

Pid::Pid(double dt, double max, double min, double Kp, double Kd, double Ki)
    : mDt(dt), mMax(max), mMin(min), mKp(Kp), mKd(Kd), mKi(Ki)
{
}

double Pid::calculate(double setpoint, double measured)
{
    const double error = setpoint - measured;
    mIntegral += error * mDt;
    // A zero step (the default controller) has no rate of change.
    const double derivative = mDt != 0.0 ? (error - mPreviousError) / mDt : 0.0;
    const double output = mKp * error + mKi * mIntegral + mKd * derivative;
    mPreviousError = error;
    return std::clamp(output, mMin, mMax);
}
