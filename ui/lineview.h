#pragma once
// Where the log viewer stands in its lines: the part in view, the caret line and the selected
// lines, and how that moves for keys, clicks, dragging and the wheel; and the scroll bars' 32-bit
// ranges for counts that may not fit them. No window here: the view turns rows and columns into
// pixels.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>

namespace kivo {

enum class ViewKey { Up, Down, PageUp, PageDown, Home, End, Left, Right };

struct LineView {
    std::size_t lines = 0;   // in the text
    std::size_t longest = 0; // characters in the longest line
    std::size_t rows = 1;    // whole rows in view
    std::size_t columns = 1; // whole columns in view
    std::size_t top = 0;     // first line in view
    std::size_t left = 0;    // first column in view
    std::size_t caret = 0;   // the line the keys move from
    std::size_t anchor = 0;  // the other end of the selection
    bool selected = false;   // whether the lines from anchor to caret are selected

    // A new text: in view at its newest line, nothing selected.
    void Reset(std::size_t lineCount, std::size_t longestLine) {
        lines = lineCount;
        longest = longestLine;
        caret = anchor = lines ? lines - 1 : 0;
        selected = false;
        left = 0;
        top = LastTop();
    }
    // New room; a caret line that was in view stays in view.
    void Resize(std::size_t rowCount, std::size_t columnCount) {
        const bool caretInView = caret >= top && caret < top + rows;
        rows = std::max<std::size_t>(rowCount, 1);
        columns = std::max<std::size_t>(columnCount, 1);
        ScrollTo(top);
        ScrollLeftTo(left);
        if (caretInView) Follow();
    }

    std::size_t LastTop() const { return lines > rows ? lines - rows : 0; }
    // The longest line's end in view, with a blank column after it.
    std::size_t LastLeft() const { return longest + 1 > columns ? longest + 1 - columns : 0; }

    void ScrollTo(std::size_t line) { top = std::min(line, LastTop()); }
    void ScrollBy(std::int64_t delta) { ScrollTo(Moved(top, delta)); }
    void ScrollLeftTo(std::size_t column) { left = std::min(column, LastLeft()); }
    void ScrollLeftBy(std::int64_t delta) { ScrollLeftTo(Moved(left, delta)); }
    // The end of a line of the given length in view; its start when it fits.
    void ShowEndOf(std::size_t length) {
        ScrollLeftTo(length + 1 > columns ? length + 1 - columns : 0);
    }
    // The caret line in view, scrolled as little as needed.
    void Follow() {
        if (caret < top)
            ScrollTo(caret);
        else if (caret >= top + rows)
            ScrollTo(caret - rows + 1);
    }

    // Moves the caret; with extend the selection reaches from the anchor to it, otherwise it is
    // the caret line alone.
    void MoveCaret(std::size_t line, bool extend) {
        if (lines == 0) return;
        line = std::min(line, lines - 1);
        if (!extend)
            anchor = line;
        else if (!selected)
            anchor = caret;
        selected = true;
        caret = line;
        Follow();
    }
    void SelectAll() {
        if (lines == 0) return;
        anchor = 0;
        caret = lines - 1;
        selected = true;
    }
    // First and last selected line; only when selected.
    std::pair<std::size_t, std::size_t> Selection() const {
        return {std::min(anchor, caret), std::max(anchor, caret)};
    }
    bool IsSelected(std::size_t line) const {
        const auto [first, last] = Selection();
        return selected && line >= first && line <= last;
    }

    // A key, with Ctrl and Shift as held; lengthOf gives a line's length in characters.
    void Key(ViewKey key, bool ctrl, bool shift,
             const std::function<std::size_t(std::size_t)>& lengthOf) {
        const std::int64_t page = static_cast<std::int64_t>(std::max<std::size_t>(rows - 1, 1));
        const std::int64_t sideways =
            ctrl ? static_cast<std::int64_t>(std::max<std::size_t>(columns - 1, 1)) : 1;
        switch (key) {
        case ViewKey::Up:
        case ViewKey::Down: {
            const std::int64_t step = key == ViewKey::Up ? -1 : 1;
            if (ctrl)
                ScrollBy(step); // the view alone, the caret stays
            else
                MoveCaret(Moved(caret, step), shift);
            break;
        }
        case ViewKey::PageUp:
        case ViewKey::PageDown: {
            const std::int64_t step = key == ViewKey::PageUp ? -page : page;
            ScrollBy(step);
            MoveCaret(Moved(caret, step), shift);
            break;
        }
        case ViewKey::Home:
            if (ctrl) MoveCaret(0, shift);
            left = 0;
            break;
        case ViewKey::End:
            if (ctrl) MoveCaret(lines ? lines - 1 : 0, shift);
            if (lines) ShowEndOf(lengthOf(caret));
            break;
        case ViewKey::Left:
            ScrollLeftBy(-sideways);
            break;
        case ViewKey::Right:
            ScrollLeftBy(sideways);
            break;
        }
    }

    // A press on a row of the view (0 the top one), extending the selection with shift; below
    // the last line it counts for the last.
    void Click(std::size_t row, bool shift) { MoveCaret(top + row, shift); }
    // The mouse moved with the button held, to a row that may lie above the view (negative) or
    // below it: the selection follows, and the view scrolls towards it, the faster the farther.
    void Drag(std::int64_t row) {
        if (lines == 0) return;
        MoveCaret(Moved(top, row), true);
    }

private:
    static std::size_t Moved(std::size_t from, std::int64_t delta) {
        if (delta < 0)
            return static_cast<std::uint64_t>(-delta) > from
                       ? 0
                       : from - static_cast<std::size_t>(-delta);
        const auto step = static_cast<std::size_t>(delta);
        return step > SIZE_MAX - from ? SIZE_MAX : from + step;
    }
};

// A scroll bar's range for the positions 0 to last with a page of the given size, in the 32 bits
// a scroll bar holds: a larger range is scaled down, and the thumb's place scaled back.
struct ScrollRange {
    std::uint64_t last = 0;
    std::uint64_t page = 1;
    static constexpr std::uint64_t Limit = 0x7FFFFFFF;
    static constexpr int ScaledLast = 1 << 30;

    bool Scaled() const { return last + page > Limit; }
    int Max() const { return Scaled() ? ScaledLast : static_cast<int>(last + page - 1); }
    unsigned Page() const { return Scaled() ? 1u : static_cast<unsigned>(page); }
    int ToBar(std::uint64_t pos) const {
        pos = std::min(pos, last);
        if (!Scaled()) return static_cast<int>(pos);
        return static_cast<int>(static_cast<long double>(pos) * ScaledLast / last);
    }
    std::uint64_t FromBar(int bar) const {
        const std::uint64_t at = static_cast<std::uint64_t>(std::max(bar, 0));
        if (!Scaled()) return std::min(at, last);
        return std::min(last, static_cast<std::uint64_t>(
                                  static_cast<long double>(at) * last / ScaledLast + 0.5L));
    }
};

} // namespace kivo
