// The credits panel's arithmetic: limits, steps, which lines a frame shows, the cut.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "ui/creditslayout.h"

namespace kivo::credits {
namespace {

TEST(CreditsLayout, FirstTextLineLineStepAndAreas) {
    struct Case {
        std::vector<std::string> lines;
        int first;
    } cases[] = {
        {{}, 0},
        {{"", " \t", "\x01 x \r"}, 2}, // blanks and control characters do not count
        {{"", "", ""}, 3},             // all blank: the number of lines
        {{"KIVO"}, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(FirstTextLine(c.lines), c.first) << c.lines.size();

    EXPECT_EQ(LineStep(16, 0, TextStyle::None), 16);
    EXPECT_EQ(LineStep(16, 2, TextStyle::Raised), 19);
    EXPECT_EQ(LineStep(300, 0, TextStyle::None), 255) << "saturates in 8 bits";
    EXPECT_EQ(LineStep(255, 0, TextStyle::Lowered), 255);

    // A 281 x 161 panel with one lowered bevel: text area 273 x 153.
    Areas a = LayoutAreas({0, 0, 281, 161}, 0, 1, 1);
    EXPECT_EQ(a.paint, (Box{1, 1, 280, 160}));
    EXPECT_EQ(a.text, (Box{4, 4, 277, 157}));
    EXPECT_EQ(LayoutAreas({0, 0, 281, 161}, 2, 3, 2).text, (Box{11, 11, 270, 150}));
    EXPECT_EQ(LayoutAreas({0, 0, 8, 100}, 0, 1, 1).text, Box{}) << "too narrow: empty at 0,0";
}

TEST(CreditsLayout, ScrollLimitAndSteps) {
    EXPECT_EQ(ScrollLimit(153, 25, 10, 16), 153 + 15 * 16);
    EXPECT_EQ(ScrollLimit(153, 3, 3, 16), 153) << "all lines blank";
    EXPECT_EQ(ScrollLimit(0, 0, 0, 16), 0);
    EXPECT_EQ(ScrollLimit(100, INT_MAX, 0, 255), INT_MAX) << "kept within int";

    struct Case {
        int pos, limit;
        bool cycled;
        Step step;
        int after;
    } cases[] = {
        {0, 10, true, Step::Moved, 1},    {9, 10, false, Step::Moved, 10},
        {10, 10, true, Step::Wrapped, 0}, {10, 10, false, Step::Finished, 10},
        {0, 0, true, Step::Wrapped, 0},   {12, 10, true, Step::Wrapped, 0},
    };
    for (const Case& c : cases) {
        int pos = c.pos;
        EXPECT_EQ(NextScrollPos(pos, c.limit, c.cycled), c.step) << c.pos << "/" << c.limit;
        EXPECT_EQ(pos, c.after) << c.pos << "/" << c.limit;
    }
}

TEST(CreditsLayout, VisibleLinesRiseFromTheBottom) {
    using Placed = std::vector<std::pair<int, int>>;
    auto visible = [](int count, int first, int step, int height, int pos) {
        Placed placed;
        ForEachVisibleLine(count, first, step, height, pos,
                           [&](int i, int top) { placed.emplace_back(i, top); });
        return placed;
    };
    // The about box's panel: 25 lines, the first text in line 11, 16 pixels a line, 153 high.
    EXPECT_EQ(visible(25, 10, 16, 153, 0), Placed{}) << "the first frame is empty";
    EXPECT_EQ(visible(25, 10, 16, 153, 1), (Placed{{10, 152}}));
    EXPECT_EQ(visible(25, 10, 16, 153, 17), (Placed{{10, 136}, {11, 152}}));
    // The first line has just left the top; the next is wholly inside.
    Placed mid = visible(25, 10, 16, 153, 153 + 16);
    ASSERT_FALSE(mid.empty());
    EXPECT_EQ(mid.front(), (std::pair{11, 0}));
    // At the limit the last line has just left the top.
    EXPECT_EQ(visible(25, 10, 16, 153, 153 + 15 * 16), Placed{});
    EXPECT_EQ(visible(25, 10, 16, 153, 153 + 13 * 16 + 1), (Placed{{23, -1}, {24, 15}}));
    EXPECT_EQ(visible(3, 3, 16, 153, 50), Placed{}) << "all blank";
    EXPECT_EQ(visible(2, 0, 0, 10, 5), (Placed{{0, 5}, {1, 5}})) << "a zero step ends too";

    EXPECT_EQ(DrawnText(std::string(300, 'x')).size(), 255u);
    EXPECT_EQ(DrawnText("kort"), "kort");
}

} // namespace
} // namespace kivo::credits
