// The score's one road: following the played metre takes over only what is
// automatic, with the tempo kept within its bounds; too few notes change
// nothing.

#include "InputBounds.h"
#include "ScoreSettings.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// A 2/4 march at 80 bpm with a quaver pick-up: dotted quaver, semiquaver and
// two quavers, then a crotchet and two quavers, bar after bar.
NoteMap march(int bars)
{
    const PipeNoteName names[] = {LA, B, C, D, E, F, HG, HA};
    NoteMap melody;
    float start_s = 0.5f;
    for (int k = 0; k < 1 + 7 * bars; ++k) {
        const float lengths_beats[] = {0.5f, 0.75f, 0.25f, 0.5f, 0.5f, 1.0f, 0.5f};
        const float length_s = lengths_beats[k % 7] * 60.0f / 80.0f;
        melody.emplace(start_s, PipeNote(names[(k * 3) % 8], start_s, length_s));
        start_s += length_s;
    }
    return melody;
}

TEST(ScoreSettings, FollowingThePlayedMetreTakesOverOnlyWhatIsAutomatic)
{
    const NoteMap melody = march(16);
    const MetreEstimate heard = estimateMetre(melody, NoteMap());
    ASSERT_TRUE(heard.valid);
    ScoreSettings given;
    given.timeSigNumerator = 3;
    given.bpm = 150.0f;
    given.timeShift_s = 7.0f;
    for (int mask = 0; mask < 8; ++mask) {
        const AutomaticMetre automatic{.bpm = (mask & 1) != 0, .signature = (mask & 2) != 0, .shift = (mask & 4) != 0};
        ScoreSettings score = given;
        const MetreEstimate found = followPlayedMetre(melody, NoteMap(), automatic, score);
        EXPECT_EQ(found.valid, mask != 0) << mask;
        EXPECT_EQ(score.timeSigNumerator, automatic.signature ? heard.numerator : 3) << mask;
        const float bpm = static_cast<float>(bounds::kBpm.clamp(heard.bpm));
        EXPECT_EQ(score.bpm, automatic.bpm ? bpm : 150.0f) << mask;
        EXPECT_EQ(score.followedBeats.has_value(), automatic.bpm) << mask;
        const float shift_s = barTimeShift_s(heard, automatic.bpm, score.bpm, beatsPerBar(score));
        EXPECT_EQ(score.timeShift_s, automatic.shift ? shift_s : 7.0f) << mask;
    }
    ScoreSettings score = given;
    EXPECT_FALSE(followPlayedMetre(march(0), NoteMap(), AutomaticMetre(), score).valid);
    EXPECT_EQ(std::tie(score.timeSigNumerator, score.bpm, score.timeShift_s), std::make_tuple(3, 150.0f, 7.0f));
    EXPECT_FALSE(score.followedBeats);
}

} // namespace
