// The log viewer's place in its lines: keys, clicks, dragging, resizing, and scroll bar ranges
// beyond 32 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ui/lineview.h"

namespace kivo {
namespace {

struct Step {
    enum Kind { Press, Click, Drag } kind = Press;
    ViewKey key = ViewKey::Up;
    bool ctrl = false, shift = false;
    std::int64_t row = 0;
};
Step K(ViewKey key, bool ctrl = false, bool shift = false) {
    return {Step::Press, key, ctrl, shift, 0};
}
Step C(std::int64_t row, bool shift = false) {
    return {Step::Click, ViewKey::Up, false, shift, row};
}
Step D(std::int64_t row) {
    return {Step::Drag, ViewKey::Up, false, false, row};
}

// 100 lines, line i holding i % 51 characters, 10 rows and 20 columns in view.
TEST(LineView, KeysClicksAndDragging) {
    using V = ViewKey;
    const auto lengthOf = [](std::size_t line) { return line % 51; };
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::size_t top, left, caret;
        bool selected;
        std::size_t first = 0, last = 0;
    } cases[] = {
        {"opens at the newest line", {}, 90, 0, 99, false},
        {"up selects the line above", {K(V::Up)}, 90, 0, 98, true, 98, 98},
        {"shift extends", {K(V::Up, false, true), K(V::Up, false, true)}, 90, 0, 97, true, 97, 99},
        {"ctrl+up scrolls alone", {K(V::Up, true)}, 89, 0, 99, false},
        {"down stays at the end", {K(V::Down)}, 90, 0, 99, true, 99, 99},
        {"ctrl+down stays at the end", {K(V::Down, true)}, 90, 0, 99, false},
        {"page up", {K(V::PageUp)}, 81, 0, 90, true, 90, 90},
        {"shift+page up twice",
         {K(V::PageUp, false, true), K(V::PageUp, false, true)},
         72,
         0,
         81,
         true,
         81,
         99},
        {"ctrl+home", {K(V::Home, true)}, 0, 0, 0, true, 0, 0},
        {"ctrl+shift+home", {K(V::Home, true, true)}, 0, 0, 0, true, 0, 99},
        {"page down from the top", {K(V::Home, true), K(V::PageDown)}, 9, 0, 9, true, 9, 9},
        {"page up at the top", {K(V::Home, true), K(V::PageUp)}, 0, 0, 0, true, 0, 0},
        {"end shows the caret line's end", {K(V::End)}, 90, 29, 99, false},
        {"ctrl+end from the top", {K(V::Home, true), K(V::End, true)}, 90, 29, 99, true, 99, 99},
        {"right three", {K(V::Right), K(V::Right), K(V::Right)}, 90, 3, 99, false},
        {"ctrl+right a page", {K(V::Right, true)}, 90, 19, 99, false},
        {"no farther than the longest line's end",
         {K(V::Right, true), K(V::Right, true), K(V::Right)},
         90,
         31,
         99,
         false},
        {"left at the start", {K(V::Left)}, 90, 0, 99, false},
        {"home", {K(V::Right, true), K(V::Home)}, 90, 0, 99, false},
        {"a click", {C(3)}, 90, 0, 93, true, 93, 93},
        {"shift+click", {C(3), C(0, true)}, 90, 0, 90, true, 90, 93},
        {"shift+click with nothing selected", {C(0, true)}, 90, 0, 90, true, 90, 99},
        {"a click below the last line", {C(50)}, 90, 0, 99, true, 99, 99},
        {"dragging above the view", {C(2), D(-3)}, 87, 0, 87, true, 87, 92},
        {"dragging below the view", {K(V::Home, true), C(0), D(15)}, 6, 0, 15, true, 0, 15},
        {"dragging far below", {K(V::Home, true), C(0), D(1000)}, 90, 0, 99, true, 0, 99},
    };
    for (const auto& c : cases) {
        LineView view;
        view.Resize(10, 20);
        view.Reset(100, 50);
        for (const Step& s : c.steps) {
            if (s.kind == Step::Press) view.Key(s.key, s.ctrl, s.shift, lengthOf);
            if (s.kind == Step::Click) view.Click(static_cast<std::size_t>(s.row), s.shift);
            if (s.kind == Step::Drag) view.Drag(s.row);
        }
        EXPECT_EQ(view.top, c.top) << c.name;
        EXPECT_EQ(view.left, c.left) << c.name;
        EXPECT_EQ(view.caret, c.caret) << c.name;
        EXPECT_EQ(view.selected, c.selected) << c.name;
        if (c.selected) {
            EXPECT_EQ(view.Selection().first, c.first) << c.name;
            EXPECT_EQ(view.Selection().second, c.last) << c.name;
        }
    }
}

TEST(LineView, SelectAllResizeAndNoLines) {
    LineView view;
    view.Resize(10, 20);
    view.Reset(100, 50);
    view.SelectAll();
    EXPECT_TRUE(view.IsSelected(0));
    EXPECT_TRUE(view.IsSelected(99));
    EXPECT_EQ(view.top, 90u) << "selecting all leaves the view where it is";

    // Smaller, the newest line stays in view; larger, more lines above it come in.
    view.Resize(5, 20);
    EXPECT_EQ(view.top, 95u);
    view.Resize(40, 20);
    EXPECT_EQ(view.top, 60u);
    view.Resize(200, 200);
    EXPECT_EQ(view.top, 0u);
    EXPECT_EQ(view.left, 0u);

    // A missing log: nothing to move or select.
    view.Reset(0, 0);
    for (ViewKey key :
         {ViewKey::Up, ViewKey::Down, ViewKey::PageDown, ViewKey::End, ViewKey::Right}) {
        view.Key(key, true, true, [](std::size_t) -> std::size_t {
            ADD_FAILURE() << "no line to measure";
            return 0;
        });
    }
    view.Click(3, false);
    view.Drag(-3);
    view.SelectAll();
    EXPECT_FALSE(view.selected);
    EXPECT_EQ(view.top, 0u);
    EXPECT_EQ(view.left, 0u);
}

TEST(ScrollRange, FitsThirtyTwoBitsOrIsScaled) {
    const ScrollRange plain{90, 10};
    EXPECT_FALSE(plain.Scaled());
    EXPECT_EQ(plain.Max(), 99);
    EXPECT_EQ(plain.Page(), 10u);
    EXPECT_EQ(plain.ToBar(45), 45);
    EXPECT_EQ(plain.FromBar(45), 45u);
    EXPECT_EQ(plain.FromBar(500), 90u);
    EXPECT_EQ(plain.FromBar(-1), 0u);
    EXPECT_EQ((ScrollRange{0, 10}.Max()), 9) << "nothing to scroll";
    EXPECT_FALSE((ScrollRange{ScrollRange::Limit - 10, 10}.Scaled()));
    EXPECT_TRUE((ScrollRange{ScrollRange::Limit - 9, 10}.Scaled()));

    // Five billion lines (or columns): both ends exact, the middle near.
    const ScrollRange huge{5'000'000'000ull, 30};
    EXPECT_TRUE(huge.Scaled());
    EXPECT_EQ(huge.Page(), 1u);
    EXPECT_EQ(huge.ToBar(0), 0);
    EXPECT_EQ(huge.ToBar(huge.last), huge.Max());
    EXPECT_EQ(huge.FromBar(huge.Max()), huge.last);
    EXPECT_EQ(huge.FromBar(0), 0u);
    const std::uint64_t middle = 2'500'000'000ull;
    const std::uint64_t back = huge.FromBar(huge.ToBar(middle));
    EXPECT_LE(std::max(middle, back) - std::min(middle, back), 5u);
}

} // namespace
} // namespace kivo
