#pragma once
// The credits panel's arithmetic: which line stands where at a given scroll position. Free of
// Windows, so that it is tested natively as well.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kivo::credits {

enum class TextStyle { None, Raised, Lowered };

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const Box&) const = default;
};

// The text of a line counts as blank when it holds only blanks and control characters.
inline bool IsBlankLine(std::string_view line) {
    return std::all_of(line.begin(), line.end(),
                       [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

// Index of the first line that is not blank; the number of lines when all are blank.
inline int FirstTextLine(const std::vector<std::string>& lines) {
    auto it = std::find_if(lines.begin(), lines.end(),
                           [](const std::string& line) { return !IsBlankLine(line); });
    return static_cast<int>(it - lines.begin());
}

// Height of one line: the font's cell height plus its external leading, one more for a shadowed
// style, held in 8 bits. It saturates rather than wraps: a wrapped step would pile a large
// font's lines on top of each other.
inline std::uint8_t LineStep(int cellHeight, int externalLeading, TextStyle style) {
    long long step = static_cast<long long>(std::max(0, cellHeight)) + std::max(0, externalLeading);
    if (style != TextStyle::None) ++step;
    return static_cast<std::uint8_t>(std::min<long long>(step, UINT8_MAX));
}

// Gap between the frame and the text, on each side.
inline constexpr int TextInset = 3;

// The paint area lies inside the frame; the text area is the paint area less the text inset, or
// the empty box at 0,0 when nothing is left of it.
struct Areas {
    Box paint;
    Box text;
};

// bevels: how many of the outer and inner bevel are present (0 to 2).
inline Areas LayoutAreas(const Box& client, int borderWidth, int bevelWidth, int bevels) {
    const int frame = std::max(0, borderWidth) + std::max(0, bevelWidth) * bevels;
    auto shrink = [&](int by) {
        return Box{client.left + by, client.top + by, client.right - by, client.bottom - by};
    };
    Areas areas{shrink(frame), shrink(frame + TextInset)};
    if (areas.text.Empty()) areas.text = Box{};
    return areas;
}

// The scroll position at which the last line has left the top of the text area. Kept within int,
// so that any number of lines gives a usable limit.
inline int ScrollLimit(int textHeight, int lineCount, int firstTextLine, int lineStep) {
    long long limit = static_cast<long long>(textHeight) +
                      static_cast<long long>(std::max(0, lineCount - firstTextLine)) * lineStep;
    return static_cast<int>(std::clamp<long long>(limit, 0, INT_MAX));
}

enum class Step { Moved, Wrapped, Finished };

// One scroll step: a pixel further below the limit; at the limit back to 0 when cycled,
// otherwise the end (the position stays).
inline Step NextScrollPos(int& scrollPos, int scrollLimit, bool cycled) {
    if (scrollPos < scrollLimit) {
        ++scrollPos;
        return Step::Moved;
    }
    if (!cycled) return Step::Finished;
    scrollPos = 0;
    return Step::Wrapped;
}

// Calls draw(index, top) for each line a frame shows: from the first text line, the first box's
// top at height - scrollPos and each next one a line step lower; a box wholly above the area is
// skipped and the first box at or below its bottom ends the frame.
template <typename Draw>
void ForEachVisibleLine(int lineCount, int firstTextLine, int lineStep, int height, int scrollPos,
                        Draw&& draw) {
    long long top = static_cast<long long>(height) - scrollPos;
    for (int i = firstTextLine; i < lineCount; ++i, top += lineStep) {
        if (top >= height) break;
        if (top + lineStep > 0) draw(i, static_cast<int>(top));
    }
}

// At most this many characters of a line are drawn.
inline constexpr std::size_t MaxDrawnChars = 255;
inline std::string_view DrawnText(std::string_view line) {
    return line.substr(0, MaxDrawnChars);
}

} // namespace kivo::credits
