// The rectangle tracker: where its handles are, what a point hits and how
// tracking moves or resizes the rectangle.
#include "uikit/RectTracker.h"

#include <gtest/gtest.h>

TEST(RectTracker, BodyAndOutsideHits)
{
    CRectTracker t(QRect(100, 100, 40, 30), true);
    EXPECT_EQ(t.HitTest(QPoint(120, 115)), CRectTracker::hitMiddle);
    EXPECT_EQ(t.HitTest(QPoint(99, 115)), CRectTracker::hitNothing);
    EXPECT_EQ(t.HitTest(QPoint(140, 115)), CRectTracker::hitNothing);  // one past the right edge
    EXPECT_EQ(t.HitTest(QPoint(139, 129)), CRectTracker::hitBottomRight);
}

TEST(RectTracker, InsideHandlesLieWithinTheRectangle)
{
    CRectTracker t(QRect(100, 100, 40, 30), true);
    for (int h = CRectTracker::hitTopLeft; h <= CRectTracker::hitLeft; ++h)
        EXPECT_TRUE(QRect(100, 100, 40, 30).contains(t.HandleRect(h))) << h;
    EXPECT_EQ(t.HitTest(QPoint(100, 100)), CRectTracker::hitTopLeft);
    EXPECT_EQ(t.HitTest(QPoint(120, 100)), CRectTracker::hitTop);
    EXPECT_EQ(t.HitTest(QPoint(100, 115)), CRectTracker::hitLeft);
}

TEST(RectTracker, OutsideHandlesExtendTheHitArea)
{
    CRectTracker t(QRect(100, 100, 40, 30), false);
    EXPECT_EQ(t.HitTest(QPoint(95, 95)), CRectTracker::hitTopLeft);
    EXPECT_EQ(t.HitTest(QPoint(145, 135)), CRectTracker::hitBottomRight);
    EXPECT_EQ(t.HitTest(QPoint(120, 96)), CRectTracker::hitTop);
    // The same points miss a rectangle with inside handles.
    t.m_handlesInside = true;
    EXPECT_EQ(t.HitTest(QPoint(95, 95)), CRectTracker::hitNothing);
}

TEST(RectTracker, EmptyRectangleHitsNothing)
{
    CRectTracker t;
    EXPECT_EQ(t.HitTest(QPoint(0, 0)), CRectTracker::hitNothing);
    EXPECT_FALSE(t.BeginTrack(CRectTracker::hitNothing, QPoint()));
    EXPECT_FALSE(t.Tracking());
}

TEST(RectTracker, DraggingTheBodyMovesWithoutResizing)
{
    CRectTracker t(QRect(100, 100, 40, 30));
    ASSERT_TRUE(t.BeginTrack(t.HitTest(QPoint(120, 115)), QPoint(120, 115)));
    t.TrackTo(QPoint(150, 95));
    t.TrackTo(QPoint(160, 105));
    EXPECT_TRUE(t.EndTrack());
    EXPECT_EQ(t.m_rect, QRect(140, 90, 40, 30));
    EXPECT_FALSE(t.Tracking());
}

TEST(RectTracker, HandleResizesOnlyItsEdges)
{
    CRectTracker t(QRect(100, 100, 40, 30));
    ASSERT_TRUE(t.BeginTrack(CRectTracker::hitRight, QPoint(139, 115)));
    t.TrackTo(QPoint(149, 140));
    t.EndTrack();
    EXPECT_EQ(t.m_rect, QRect(100, 100, 50, 30));

    ASSERT_TRUE(t.BeginTrack(CRectTracker::hitTopLeft, QPoint(100, 100)));
    t.TrackTo(QPoint(90, 80));
    t.EndTrack();
    EXPECT_EQ(t.m_rect, QRect(90, 80, 60, 50));
}

TEST(RectTracker, DraggingAcrossTheOppositeEdgeNormalises)
{
    CRectTracker t(QRect(100, 100, 40, 30));
    t.BeginTrack(CRectTracker::hitLeft, QPoint(100, 115));
    t.TrackTo(QPoint(160, 115));
    t.EndTrack();
    EXPECT_GT(t.m_rect.width(), 0);
    EXPECT_GE(t.m_rect.left(), 139);
    EXPECT_LE(t.m_rect.right(), 160);
}

TEST(RectTracker, ReleaseWhereItStartedIsNotAMove)
{
    CRectTracker t(QRect(100, 100, 40, 30));
    t.BeginTrack(CRectTracker::hitMiddle, QPoint(110, 110));
    t.TrackTo(QPoint(130, 130));
    t.TrackTo(QPoint(110, 110));
    EXPECT_FALSE(t.EndTrack());
    EXPECT_EQ(t.m_rect, QRect(100, 100, 40, 30));
}
