#pragma once

// A proportional-integral-derivative controller with a clamped output, as
// the metronome uses it to keep its clicks on the audio clock. The six
// parameters are fixed at construction; a default one has them all 0 and
// always answers 0.

class Pid
{
public:
    Pid() = default;
    Pid(double dt, double max, double min, double Kp, double Kd, double Ki);

    // The correction that moves measured towards setpoint, within [min, max].
    double calculate(double setpoint, double measured);

private:
    double mDt = 0.0;
    double mMax = 0.0;
    double mMin = 0.0;
    double mKp = 0.0;
    double mKd = 0.0;
    double mKi = 0.0;
    double mPreviousError = 0.0;
    double mIntegral = 0.0;
};
