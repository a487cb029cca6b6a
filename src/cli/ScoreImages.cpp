#include "ScoreImages.h"

#include "PipeTuneRenderer.h"
#include "ScoreHeader.h"

#include <algorithm>
#include <string>

namespace {

// Taller images are refused: the painter cannot draw beyond this, and the
// memory grows with every row.
constexpr long long kMaximumImageHeight = 32767;

// The page as an image; null, with the reason, when it has no rows.
QImage image(const QPixmap& page, std::string& error)
{
    if (page.height() <= scoreHeader::kHeight) {
        error = "there are no notes to draw";
        return QImage();
    }
    return page.toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

QImage scoreImage(const PipeTuneModel& model, const ScoreSettings& settings, std::string& error)
{
    PipeTuneRenderer renderer;
    long long bars = 0;
    for (const PipeTuneModel::Part& part : model.parts)
        bars += static_cast<long long>(part.bars.size());
    const long long rowCount = bars / std::max(1, settings.barsPerRow) + 1;
    if (rowCount * renderer.rowPitch() + scoreHeader::kHeight > kMaximumImageHeight) {
        error = "the sheet music would be " + std::to_string(rowCount * renderer.rowPitch())
                + " pixels tall (at most " + std::to_string(kMaximumImageHeight) + "): give more bars per row";
        return QImage();
    }
    return image(scoreHeader::scorePage(model, settings), error);
}

QImage timingImage(const TranscriptionResult& result, const ScoreSettings& score, float secondsPerRow,
                   std::string& error)
{
    float end_s = 0.0f;
    for (const NoteMap* notes : {&result.melody, &result.gracing}) {
        if (!notes->empty())
            end_s = std::max(end_s, std::prev(notes->end())->second.getEnd_s() + score.timeShift_s);
    }
    PipeTuneRenderer renderer;
    const long long rowCount = static_cast<long long>(end_s / std::max(secondsPerRow, 1.0f)) + 1;
    if (rowCount * renderer.rowPitch() + scoreHeader::kHeight > kMaximumImageHeight) {
        error = "the timing view would be " + std::to_string(rowCount * renderer.rowPitch())
                + " pixels tall (at most " + std::to_string(kMaximumImageHeight) + "): give more seconds per row";
        return QImage();
    }
    return image(scoreHeader::timingPage(result.melody, result.gracing, score, secondsPerRow), error);
}
