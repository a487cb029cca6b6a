#include "ScoreEdit.h"

#include <cstdint>

// The text form, one line:
//   v1;<part>;<first bar>;<description>;<bars before>;<bars after>
// A bar is "[" its items separated by blanks "]", followed by "!" when it
// ends a score row; an item is name:value:dots:flag:tie, as in
// "D:8:1:r:t" (tie "t" or "-"). The description is kept byte for byte, with
// "%", ";" and control characters written as %HH, so the line never holds a
// field separator, a tab or a line feed.

namespace {

const char* const kTextVersion = "v1";
constexpr char kFieldSeparator = ';';
constexpr std::size_t kFieldCount = 6;
// Parts and bars are counted far below this; more digits are not a number
// an edit holds (and would overflow).
constexpr std::size_t kMaxDigits = 9;

bool sameItems(const std::vector<PipeTuneModel::Bar>& bars, std::size_t first,
               const std::vector<PipeTuneModel::Bar>& run)
{
    if (first > bars.size() || run.size() > bars.size() - first)
        return false;
    for (std::size_t k = 0; k < run.size(); ++k) {
        if (bars[first + k].items != run[k].items)
            return false;
    }
    return true;
}

// Puts `to` in place of `from` (already checked), keeping the score's row
// ends: bar for bar when the count stays; otherwise the new run's last bar
// ends a row where the old run's last bar did, and its other bars keep the
// row ends the edit gives them.
void replaceRun(std::vector<PipeTuneModel::Bar>& bars, std::size_t first, std::size_t fromCount,
                const std::vector<PipeTuneModel::Bar>& to)
{
    std::vector<PipeTuneModel::Bar> run = to;
    if (run.size() == fromCount) {
        for (std::size_t k = 0; k < run.size(); ++k)
            run[k].rowBreak = bars[first + k].rowBreak;
    } else if (!run.empty() && fromCount > 0) {
        run.back().rowBreak = bars[first + fromCount - 1].rowBreak;
    }
    const auto begin = bars.begin() + static_cast<std::ptrdiff_t>(first);
    bars.erase(begin, begin + static_cast<std::ptrdiff_t>(fromCount));
    bars.insert(bars.begin() + static_cast<std::ptrdiff_t>(first), run.begin(), run.end());
}

bool replace(PipeTuneModel& model, int part, int firstBar, const std::vector<PipeTuneModel::Bar>& from,
             const std::vector<PipeTuneModel::Bar>& to)
{
    if (part < 0 || firstBar < 0 || static_cast<std::size_t>(part) >= model.parts.size())
        return false;
    std::vector<PipeTuneModel::Bar>& bars = model.parts[static_cast<std::size_t>(part)].bars;
    if (!sameItems(bars, static_cast<std::size_t>(firstBar), from))
        return false;
    replaceRun(bars, static_cast<std::size_t>(firstBar), from.size(), to);
    return true;
}

const char kHex[] = "0123456789ABCDEF";

std::string escapeText(const std::string& text)
{
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '%' || c == kFieldSeparator) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0f];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescapeText(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            plain += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexDigit(text[i + 1]);
        const int low = hexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        plain += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return plain;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> pieces(1);
    for (const char c : text) {
        if (c == separator)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

std::optional<int> parseCount(const std::string& text)
{
    if (text.empty() || text.size() > kMaxDigits)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string itemText(const PipeTuneModel::Item& item)
{
    return toString(item.name) + ":" + std::to_string(item.duration) + ":" + std::to_string(item.dots) + ":"
           + toString(item.flag) + ":" + (item.tied ? "t" : "-");
}

std::optional<PipeTuneModel::Item> parseItem(const std::string& text)
{
    const std::vector<std::string> fields = split(text, ':');
    if (fields.size() != 5)
        return std::nullopt;
    PipeTuneModel::Item item;
    bool named = false;
    for (int n = LG; n <= strhg; ++n) {
        if (fields[0] == toString(static_cast<PipeNoteName>(n))) {
            item.name = static_cast<PipeNoteName>(n);
            named = true;
        }
    }
    const std::optional<int> duration = parseCount(fields[1]);
    const std::optional<int> dots = parseCount(fields[2]);
    if (!named || !duration || !dots || *dots > 2)
        return std::nullopt;
    // A note value is a power of two up to the demisemiquaver.
    if (*duration < 1 || *duration > 32 || (*duration & (*duration - 1)) != 0)
        return std::nullopt;
    item.duration = *duration;
    item.dots = *dots;
    if (fields[3] == "n")
        item.flag = FlagNone;
    else if (fields[3] == "r")
        item.flag = FlagRight;
    else if (fields[3] == "l")
        item.flag = FlagLeft;
    else
        return std::nullopt;
    if (fields[4] != "t" && fields[4] != "-")
        return std::nullopt;
    item.tied = fields[4] == "t";
    return item;
}

std::string barsText(const std::vector<PipeTuneModel::Bar>& bars)
{
    std::string text;
    for (const PipeTuneModel::Bar& bar : bars) {
        text += '[';
        for (std::size_t k = 0; k < bar.items.size(); ++k)
            text += (k > 0 ? " " : "") + itemText(bar.items[k]);
        text += bar.rowBreak ? "]!" : "]";
    }
    return text;
}

std::optional<std::vector<PipeTuneModel::Bar>> parseBars(const std::string& text)
{
    std::vector<PipeTuneModel::Bar> bars;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '[')
            return std::nullopt;
        const std::size_t close = text.find(']', i);
        if (close == std::string::npos)
            return std::nullopt;
        const std::string inside = text.substr(i + 1, close - i - 1);
        PipeTuneModel::Bar bar;
        if (!inside.empty()) {
            for (const std::string& piece : split(inside, ' ')) {
                const std::optional<PipeTuneModel::Item> item = parseItem(piece);
                if (!item)
                    return std::nullopt;
                bar.items.push_back(*item);
            }
        }
        i = close + 1;
        if (i < text.size() && text[i] == '!') {
            bar.rowBreak = true;
            ++i;
        }
        bars.push_back(bar);
    }
    return bars;
}

} // namespace

bool ScoreEdit::appliesTo(const PipeTuneModel& model) const
{
    if (part < 0 || firstBar < 0 || static_cast<std::size_t>(part) >= model.parts.size())
        return false;
    return sameItems(model.parts[static_cast<std::size_t>(part)].bars, static_cast<std::size_t>(firstBar), before);
}

bool ScoreEdit::apply(PipeTuneModel& model) const
{
    return replace(model, part, firstBar, before, after);
}

bool ScoreEdit::revert(PipeTuneModel& model) const
{
    return replace(model, part, firstBar, after, before);
}

std::string ScoreEdit::toText() const
{
    const std::string separator(1, kFieldSeparator);
    return kTextVersion + separator + std::to_string(part) + separator + std::to_string(firstBar) + separator
           + escapeText(description) + separator + barsText(before) + separator + barsText(after);
}

std::optional<ScoreEdit> ScoreEdit::fromText(const std::string& text)
{
    const std::vector<std::string> fields = split(text, kFieldSeparator);
    if (fields.size() != kFieldCount || fields[0] != kTextVersion)
        return std::nullopt;
    const std::optional<int> part = parseCount(fields[1]);
    const std::optional<int> firstBar = parseCount(fields[2]);
    const std::optional<std::string> description = unescapeText(fields[3]);
    const std::optional<std::vector<PipeTuneModel::Bar>> before = parseBars(fields[4]);
    const std::optional<std::vector<PipeTuneModel::Bar>> after = parseBars(fields[5]);
    if (!part || !firstBar || !description || !before || !after || before->empty())
        return std::nullopt;
    ScoreEdit edit;
    edit.description = *description;
    edit.part = *part;
    edit.firstBar = *firstBar;
    edit.before = *before;
    edit.after = *after;
    return edit;
}

bool ScoreEdit::operator==(const ScoreEdit& other) const
{
    return description == other.description && part == other.part && firstBar == other.firstBar
           && before == other.before && after == other.after;
}

std::vector<std::size_t> applyEdits(PipeTuneModel& model, const std::vector<ScoreEdit>& edits)
{
    std::vector<std::size_t> skipped;
    for (std::size_t k = 0; k < edits.size(); ++k) {
        if (!edits[k].apply(model))
            skipped.push_back(k);
    }
    return skipped;
}
