#include <gtest/gtest.h>

#include "algemeen/report.h"

namespace kivo {
namespace {

// A box left open on an unattended PC is not joined by a copy of itself every minute.
TEST(ReportQueue, OneBoxPerMessageAtATime) {
    ReportQueue q;
    EXPECT_TRUE(q.Add(ReportQueue::Plain, "slot"));
    EXPECT_FALSE(q.Add(ReportQueue::Plain, "slot")) << "already waiting";
    EXPECT_TRUE(q.Add(ReportQueue::ErrorDisplay, "slot")) << "another kind of box";
    EXPECT_TRUE(q.Add(ReportQueue::Plain, "ander"));

    ReportQueue::Entry shown;
    ASSERT_TRUE(q.Next(shown));
    EXPECT_EQ(shown.message, "slot");
    EXPECT_TRUE(q.Showing("slot"));
    EXPECT_FALSE(q.Add(ReportQueue::Plain, "slot")) << "on screen";

    // The box's own message loop shows the next ones on top of it, in order.
    ReportQueue::Entry second, third, none;
    ASSERT_TRUE(q.Next(second));
    ASSERT_TRUE(q.Next(third));
    EXPECT_EQ(second.kind, ReportQueue::ErrorDisplay);
    EXPECT_EQ(third.message, "ander");
    EXPECT_FALSE(q.Next(none));
    EXPECT_FALSE(q.Waiting());

    q.Done(shown);
    EXPECT_TRUE(q.Showing("slot")) << "the error display of it is still open";
    q.Done(second);
    EXPECT_FALSE(q.Showing("slot"));
    EXPECT_TRUE(q.Add(ReportQueue::Plain, "slot")) << "closed: the next failure shows again";
    EXPECT_TRUE(q.Waiting());
}

} // namespace
} // namespace kivo
