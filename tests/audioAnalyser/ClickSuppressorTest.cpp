// The metronome's click heard under a chanter phrase: told where each click
// was played (the place off by the capture's jitter) but not how long it
// took to be heard, the session must transcribe the phrase as if no click
// had sounded; where no click sounds nothing changes.

#include "ClickSuppressor.h"
#include "Phrases.h"
#include "TestSignals.h"
#include "TranscriptionSession.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>

namespace {

constexpr float kRate_Hz = testsignals::kRate_Hz;
constexpr std::size_t kBlock = 2048;

const char* const kPhrase = "LA:500 HG E F E:500 LA:500 LG D:35 C D:500 LA:500 D:500 LG D LG LA:500 E:500 "
                            "LA:500 HG B:400 D C:400 E LA:400 E:500 LA:22 E:500 C:500";

using testsignals::clickSounds;

struct Click {
    std::size_t told = 0;
    std::size_t heard = 0; // where its whole sound would start
    int sound = 0;
    std::size_t cut = 0; // samples of its start that never sound
};

// Clicks every 0.55 s, every fourth a bar's, heard delay_s after they are
// said to be played, give or take 30 ms, and up to maxCut_s short of their
// start.
std::vector<Click> clicksOver(std::size_t count, double delay_s, std::uint32_t seed, double maxCut_s = 0.0)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> jitter_s(-0.03, 0.03);
    std::uniform_real_distribution<double> cut_s(0.0, maxCut_s);
    std::vector<Click> clicks;
    for (int k = 0;; ++k) {
        const double told_s = 0.2 + 0.55 * k;
        const auto told = static_cast<std::size_t>(told_s * kRate_Hz);
        const auto heard = static_cast<std::size_t>((told_s + delay_s + jitter_s(random)) * kRate_Hz);
        if (heard + kRate_Hz / 10 > count)
            return clicks;
        clicks.push_back({told, heard, k % 4 == 0 ? 1 : 0, static_cast<std::size_t>(cut_s(random) * kRate_Hz)});
    }
}

std::vector<short> withClicks(std::vector<short> samples, const std::vector<Click>& clicks, double gain)
{
    const std::vector<ClickSuppressor::Sound> sounds = clickSounds();
    for (const Click& click : clicks) {
        const std::vector<short>& sound = sounds[static_cast<std::size_t>(click.sound)].samples;
        for (std::size_t n = click.cut; n < sound.size() && click.heard + n < samples.size(); ++n) {
            const double value = samples[click.heard + n] + gain * sound[n];
            samples[click.heard + n] = static_cast<short>(std::clamp(value, -32768.0, 32767.0));
        }
    }
    return samples;
}

// Fed a block at a time as the processing thread feeds it, each click told
// before the block it was played in.
TranscriptionResult transcribe(const std::vector<short>& samples, const std::vector<Click>& clicks,
                               std::vector<ClickSuppressor::Found>* found = nullptr)
{
    TranscriptionSession session;
    session.setSettings({.filterCorner_Hz = 2500.0f, .snacPeakThreshold = 0.97f, .transcriptionInterval_s = 0.5f});
    session.reset();
    session.setReference(phrases::chanter());
    session.clickSuppressor().setSounds(clickSounds(), kRate_Hz);
    auto next = clicks.begin();
    for (std::size_t start = 0; start < samples.size(); start += kBlock) {
        for (; next != clicks.end() && next->told < start + kBlock; ++next)
            session.clickSuppressor().addClick(next->told, next->sound);
        session.feed(samples.data() + start, std::min(kBlock, samples.size() - start));
    }
    session.finish();
    if (found != nullptr)
        *found = session.clickSuppressor().found();
    TranscriptionResult result;
    std::tie(result.melody, result.gracing) = std::tie(session.result().melody, session.result().gracing);
    return result;
}

// The suppressor alone, fed blocks of ever-changing sizes.
std::vector<short> suppressed(const std::vector<short>& samples, const std::vector<Click>& clicks,
                              std::vector<ClickSuppressor::Found>& found)
{
    ClickSuppressor suppressor;
    suppressor.setSounds(clickSounds(), kRate_Hz);
    std::vector<short> out;
    auto next = clicks.begin();
    for (std::size_t start = 0, block = 1; start < samples.size(); start += block, block = block * 3 % 5000 + 1) {
        block = std::min(block, samples.size() - start);
        for (; next != clicks.end() && next->told < start + block; ++next)
            suppressor.addClick(next->told, next->sound);
        const ClickSuppressor::Span span = suppressor.pass(samples.data() + start, block);
        out.insert(out.end(), span.samples, span.samples + span.count);
    }
    const ClickSuppressor::Span rest = suppressor.drain();
    out.insert(out.end(), rest.samples, rest.samples + rest.count);
    found = suppressor.found();
    return out;
}

TEST(ClickSuppressor, ClicksUnderAPhraseBecomeNeitherNotesNorGracings)
{
    const std::vector<short> phrase = phrases::render(kPhrase);
    const std::string clean = phrases::names(transcribe(phrase, {}));
    int clicksHeardWithoutTheMend = 0;
    // The delay from played to heard, and the click's loudness.
    for (auto [delay_s, gain] : {std::pair(0.0, 1.0), std::pair(0.137, 1.0), std::pair(0.35, 0.5)}) {
        SCOPED_TRACE(testing::Message() << "delay " << delay_s << " s, gain " << gain);
        const std::vector<Click> clicks = clicksOver(phrase.size(), delay_s, 7);
        const std::vector<short> heard = withClicks(phrase, clicks, gain);
        std::vector<ClickSuppressor::Found> found;
        EXPECT_EQ(phrases::names(transcribe(heard, clicks, &found)), clean);
        clicksHeardWithoutTheMend += phrases::names(transcribe(heard, {})) != clean;
        // The clicks found where they were mixed in, to within a period of
        // their tone; quiet ones are left until one is heard beyond doubt.
        ASSERT_EQ(found.size(), clicks.size());
        int removed = 0;
        for (std::size_t k = 0; k < clicks.size(); ++k) {
            removed += found[k].removed;
            if (found[k].removed) {
                EXPECT_NEAR(static_cast<double>(found[k].heard), static_cast<double>(clicks[k].heard), 30.0) << k;
            }
        }
        EXPECT_GE(removed, static_cast<int>(clicks.size()) / 2);
    }
    // The clicks do become notes when nothing takes them out.
    EXPECT_EQ(clicksHeardWithoutTheMend, 3);
}

TEST(ClickSuppressor, ClicksHeardWithoutTheirOnsetAreTakenOutToo)
{
    // A sound server starting a click late skips up to some 10 ms of it;
    // after the phrase the clicks sound alone, where what is left of one
    // would be transcribed.
    std::vector<short> phrase = phrases::render(kPhrase);
    phrase.resize(phrase.size() + static_cast<std::size_t>(3.0f * kRate_Hz), 0);
    const std::string clean = phrases::names(transcribe(phrase, {}));
    const std::vector<Click> clicks = clicksOver(phrase.size(), 0.137, 11, 0.012);
    const std::vector<short> heard = withClicks(phrase, clicks, 1.0);
    std::vector<ClickSuppressor::Found> found;
    EXPECT_EQ(phrases::names(transcribe(heard, clicks, &found)), clean);
    ASSERT_EQ(found.size(), clicks.size());
    const std::size_t phraseEnd = phrase.size() - static_cast<std::size_t>(3.0f * kRate_Hz);
    int alone = 0;
    for (std::size_t k = 0; k < clicks.size(); ++k) {
        if (clicks[k].heard < phraseEnd + kRate_Hz / 2)
            continue;
        ++alone;
        EXPECT_TRUE(found[k].removed) << k;
        EXPECT_EQ(found[k].heard, clicks[k].heard) << k;
        EXPECT_EQ(found[k].cut, clicks[k].cut) << k;
    }
    EXPECT_GE(alone, 4);
}

TEST(ClickSuppressor, WhereNoClickSoundsTheSamplesAreUntouched)
{
    const std::vector<short> phrase = phrases::render(kPhrase);
    // Nothing to listen for: the very samples pass. Listening, with no
    // click told, the transcription is the one of a session that never
    // heard of clicks.
    ClickSuppressor idle;
    const ClickSuppressor::Span passed = idle.pass(phrase.data(), phrase.size());
    EXPECT_EQ(passed.samples, phrase.data());
    EXPECT_EQ(passed.count, phrase.size());
    const TranscriptionResult plain = phrases::transcribe(phrase, TranscriptionMode::Progressive);
    const TranscriptionResult told = transcribe(phrase, {});
    EXPECT_EQ(told.melody, plain.melody);
    EXPECT_EQ(told.gracing, plain.gracing);

    // Clicks told: every sample outside the clicks found comes out as it
    // went in, in blocks of any size, and none is lost or added.
    const std::vector<Click> clicks = clicksOver(phrase.size(), 0.137, 3);
    const std::vector<short> heard = withClicks(phrase, clicks, 1.0);
    std::vector<ClickSuppressor::Found> found;
    const std::vector<short> out = suppressed(heard, clicks, found);
    ASSERT_EQ(out.size(), heard.size());
    std::vector<bool> underClick(heard.size(), false);
    ASSERT_EQ(found.size(), clicks.size());
    for (std::size_t k = 0; k < clicks.size(); ++k) {
        const std::size_t length = clickSounds()[static_cast<std::size_t>(clicks[k].sound)].samples.size();
        if (found[k].removed)
            std::fill_n(underClick.begin() + static_cast<long>(found[k].heard), length, true);
    }
    std::size_t changedOutside = 0;
    for (std::size_t n = 0; n < heard.size(); ++n)
        changedOutside += !underClick[n] && out[n] != heard[n];
    EXPECT_EQ(changedOutside, 0u);
    EXPECT_NE(out, heard);
    // Clicks told but never heard (headphones): nothing changes.
    EXPECT_EQ(suppressed(phrase, clicks, found), phrase);
}

} // namespace
