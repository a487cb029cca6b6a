#pragma once

// Free numeric helpers of the pitch analysis: DC removal, decibels, cents and
// the key-maximum search over a SNAC (normalised square difference) array as
// described by McLeod and Wyvill, "A Smarter Way to Find Pitch" (2005).
// Pure functions of their arguments; safe on any thread.

#include <cstddef>
#include <string>
#include <functional>
#include <vector>

namespace utils {

// Subtracts the mean of the first count samples from each of them. The mean
// is accumulated in double precision.
void removeDcOffset(float* samples, unsigned int count);

// 20 log10(value), limited to floor below and to 0 above; floor for any
// value that is not greater than 0 (NaN included).
float linear2dB(float value, float floor);

// Cents from frequency a to frequency b (positive when b is higher), with the
// ratio b / a formed in single precision.
float freqRatioToCents(float a_Hz, float b_Hz);

// Collects the key maximum of every positive lobe of snac[first .. last]
// (clamped to 0 .. count - 1) into maxima, in ascending index, and returns
// the index of the highest of them; 0 when there is none. maxima allocates
// only when its capacity is below count / 2 + 1, the most lobes there are.
int findSnacMaxima(const float* snac, int count, int first, int last, std::vector<int>& maxima);

// The first key maximum reaching max(minimumPeak, threshold x highest): the
// shortest period that is clear enough. best receives the index of the
// highest key maximum, maxima the key maxima (scratch space the caller keeps,
// so that no window allocates). Returns 0 when no maximum qualifies.
int findSnacSubMaximum(const float* snac, int count, int first, int last, float threshold,
                       float minimumPeak, int& best, std::vector<int>& maxima);

// Truncates towards zero, saturating at the int range; NaN gives 0. For
// sample counts and indexes computed in floating point.
int truncateToInt(double value);
// Rounds to the nearest whole number (halves away from zero), saturating as
// truncateToInt does.
int roundToInt(double value);

// A full-scale sample (-1 .. 1) as a 16-bit one: scaled by 32768, rounded to
// the nearest step and clipped to -32768 .. 32767; NaN gives silence. Every
// conversion of floating-point audio to 16-bit PCM goes through here.
short toPcm16(double value);
std::vector<short> toPcm16(const std::vector<float>& signal);

// 16-bit little-endian PCM bytes as samples; a trailing odd byte is ignored.
std::vector<short> decodePcm16(const char* bytes, std::size_t size_B);

// Samples as 16-bit little-endian PCM bytes.
std::vector<char> encodePcm16(const std::vector<short>& samples);

// The character of UTF-8 text that starts at byte i (i < text.size()): its
// code point and its length in bytes, 1 to 4; 0 where the bytes there are
// not UTF-8 (a stray or missing continuation byte, an overlong form, a
// surrogate, a point beyond Unicode). Writers of text files walk user text
// with it, so that no byte that is not UTF-8 reaches a file.
std::size_t decodeUtf8(const std::string& text, std::size_t i, char32_t& point);

// The version the user sees for an application version number: major =
// version / 1000 + 1, minor = version % 1000 (8 is 1.8).
void getVersionComponents(int version, int& major, int& minor);

// The middle value of values (the upper of the two middle ones for an even
// count), found by reordering them; values must not be empty.
float middleValue(std::vector<float>& values);

// The threads "all cores" means: the processor's, at least one.
unsigned int availableCores();
// Runs work(first, last) over [0, count) cut into up to jobs stretches of
// about equal length, each on a thread of its own (the last on the calling
// thread), and returns when all are done. Inner cuts fall where
// (offset + cut) is a multiple of grain, and no stretch is shorter than
// grain, so a count under two grains runs whole on the calling thread. An
// exception thrown in a stretch is thrown again here once all have ended.
void runInStretches(std::size_t count, std::size_t offset, std::size_t grain, unsigned int jobs,
                    const std::function<void(std::size_t, std::size_t)>& work);

} // namespace utils
