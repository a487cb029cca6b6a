#pragma once

// The edits a piper makes to a score, as notation programs offer them:
// a melody note up or down through the nine chanter notes, longer or
// shorter through the note values, dotted, tied, removed or doubled; a
// gracing put on a note, replaced or taken off; the first bar line moved by
// a note. Each operation looks at the score and says what the change is (a
// ScoreEdit over the bars it touches, beamed again by the beat), without
// changing the score; nothing comes back when the change is not possible
// (a note above High A, a gracing where there is no melody note). Plain
// functions; any thread.

#include "PipeNote.h"
#include "PipeTuneModel.h"
#include "ScoreEdit.h"

#include <optional>
#include <vector>

// Where an item stands: part, bar in the part, item in the bar.
struct ScorePosition {
    int part = 0;
    int bar = 0;
    int item = 0;
    bool operator==(const ScorePosition& other) const
    {
        return part == other.part && bar == other.bar && item == other.item;
    }
    bool operator!=(const ScorePosition& other) const { return !(*this == other); }
    bool operator<(const ScorePosition& other) const;
};

namespace scoreEditor {

// The item at position, if there is one.
const PipeTuneModel::Item* itemAt(const PipeTuneModel& model, const ScorePosition& position);
// The first item, and the item before or after position in playing order
// across bars and parts; position itself at either end.
std::optional<ScorePosition> firstItem(const PipeTuneModel& model);
ScorePosition step(const PipeTuneModel& model, const ScorePosition& position, int direction);
// Every item from first to last (in either order), inclusive.
std::vector<ScorePosition> range(const PipeTuneModel& model, const ScorePosition& first, const ScorePosition& last);

// Melody note: steps (+1 up, -1 down) through LG .. HA.
std::optional<ScoreEdit> movePitch(const PipeTuneModel& model, const ScorePosition& note, int steps);
// Melody note: the next longer (or shorter) value, semiquaver to semibreve
// (demisemiquaver to minim), dots kept.
std::optional<ScoreEdit> changeLength(const PipeTuneModel& model, const ScorePosition& note, bool longer);
// Melody note: dotted or plain.
std::optional<ScoreEdit> toggleDot(const PipeTuneModel& model, const ScorePosition& note);
// Melody note: tied to the next melody note or not (the last note of the
// tune cannot be tied).
std::optional<ScoreEdit> toggleTie(const PipeTuneModel& model, const ScorePosition& note);
// A melody note goes with its gracing, its time to the melody note before it
// where the two lengths make one value (plain or dotted); a gracing item
// goes alone.
std::optional<ScoreEdit> remove(const PipeTuneModel& model, const ScorePosition& item);
// A melody note of the same pitch and value after the one at position (or
// after the melody note that a gracing at position leads into).
std::optional<ScoreEdit> insertNoteAfter(const PipeTuneModel& model, const ScorePosition& item);
// The gracing of the melody note at position (or the gracing item at
// position) becomes `gracing` (a single gracenote, embellishment or
// strike); Unknown takes it off.
std::optional<ScoreEdit> setGracing(const PipeTuneModel& model, const ScorePosition& item, PipeNoteName gracing);
// The first bar line a note later (the pick-up gains the first melody note
// of the first full bar) or earlier (the pick-up's last melody note goes to
// the first full bar); every bar line of the part follows, notes held over
// a bar line are written tied.
std::optional<ScoreEdit> moveFirstBarLine(const PipeTuneModel& model, bool later);

// The melody items of a bar beamed again by the beat of the model's time
// signature, as the quantiser beams them; the first bar of a part, when it
// is short, is a pick-up that ends on the first bar line.
void rebeam(PipeTuneModel::Bar& bar, int timeSigNumerator, int timeSigDenominator, bool pickUp);

} // namespace scoreEditor
