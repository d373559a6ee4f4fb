#include <gtest/gtest.h>

#include "platform/collation.h"

namespace kivo {
namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(Collation, OrderIsLinguisticNotByteOrder) {
    const Collator& c = UserCollator();
    EXPECT_LT(c.Compare("a", "B", false), 0); // bytes would put "B" first
    EXPECT_LT(c.Compare("apple", "Banana", false), 0);
    EXPECT_EQ(c.Compare("abc", "abc", false), 0);
    EXPECT_NE(c.Compare("a", "A", false), 0);
    EXPECT_EQ(c.Compare("a", "A", true), 0);
    EXPECT_EQ(c.Compare("Back-up", "BACK-UP", true), 0);
    EXPECT_EQ(Sign(c.Compare("x", "y", false)), -Sign(c.Compare("y", "x", false)));
    EXPECT_LT(c.Compare("", "a", false), 0);
}

#ifdef _WIN32
TEST(Collation, WindowsWordSort) {
    const Collator& c = UserCollator();
    EXPECT_LT(c.Compare("a", "A", false), 0);
    EXPECT_GT(c.Compare("co-op", "coop", false), 0);
    EXPECT_LT(c.Compare("co-op", "cop", false), 0);
    EXPECT_LT(c.Compare("item10", "item9", false), 0);
}
#endif

} // namespace
} // namespace kivo
