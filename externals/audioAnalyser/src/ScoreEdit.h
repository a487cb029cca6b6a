#pragma once

// One change a piper made to a score, kept as the bars it changed: the bars
// of one part from firstBar on that held `before` now hold `after`. An edit
// applies to a score only where the score still holds `before` (items
// compared; where a row ends is layout, kept from the score), so edits made
// to one quantisation can be carried to the next wherever they still fit.
// The text form (toText/fromText) is what project files keep: one line, no
// tab or line feed. Plain value type; any thread.

#include "PipeTuneModel.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class ScoreEdit
{
public:
    ScoreEdit() = default;
    virtual ~ScoreEdit() = default;
    ScoreEdit(const ScoreEdit&) = default;
    ScoreEdit& operator=(const ScoreEdit&) = default;

    // Whether model holds `before` at the edit's place.
    bool appliesTo(const PipeTuneModel& model) const;
    // Puts `after` in place of `before`; false, and the model untouched, when
    // the edit does not apply.
    bool apply(PipeTuneModel& model) const;
    // Puts `before` back in place of `after`; false, and the model untouched,
    // when the model does not hold `after` there.
    bool revert(PipeTuneModel& model) const;

    std::string toText() const;
    // Empty for a text that is not an edit.
    static std::optional<ScoreEdit> fromText(const std::string& text);

    bool operator==(const ScoreEdit& other) const;
    bool operator!=(const ScoreEdit& other) const { return !(*this == other); }

    // What was done, for people ("Note up", "Doubling on E"): the undo
    // history's text.
    std::string description;
    int part = 0;
    int firstBar = 0;
    std::vector<PipeTuneModel::Bar> before;
    std::vector<PipeTuneModel::Bar> after;
};

// Applies edits in order to model, skipping those that no longer apply;
// returns the indices of the skipped ones.
std::vector<std::size_t> applyEdits(PipeTuneModel& model, const std::vector<ScoreEdit>& edits);
