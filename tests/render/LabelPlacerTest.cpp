// Label placement against the plain greedy rule: a label is taken when it
// overlaps none taken before.
#include "render/LabelPlacer.h"

#include <gtest/gtest.h>

#include <random>

TEST(LabelPlacer, TakesExactlyTheLabelsThePlainGreedyRuleTakes)
{
    std::mt19937 random(17);
    CLabelPlacer placer;
    for (int round = 0; round < 20; ++round) {
        const QRect area(0, 0, 300 + int(random() % 400), 200 + int(random() % 300));
        placer.Reset(area);
        std::vector<QRect> taken;
        for (int k = 0; k < 300; ++k) {
            const QRect label(int(random() % 800) - 100, int(random() % 600) - 50, 1 + int(random() % 140),
                              1 + int(random() % 30));
            const QRect shown = label & area;
            bool free = !shown.isEmpty();
            for (const QRect& t : taken)
                free = free && !t.intersects(shown);
            ASSERT_EQ(placer.TryPlace(label), free) << "round " << round << " label " << k;
            if (free)
                taken.push_back(shown);
        }
        ASSERT_EQ(placer.Placed(), taken);
    }
}

TEST(LabelPlacer, ResetForgetsEarlierLabels)
{
    CLabelPlacer placer;
    placer.Reset(QRect(0, 0, 100, 100));
    EXPECT_TRUE(placer.TryPlace(QRect(10, 10, 50, 10)));
    EXPECT_FALSE(placer.TryPlace(QRect(59, 19, 5, 5))) << "touches the corner pixel";
    EXPECT_TRUE(placer.TryPlace(QRect(60, 10, 5, 5))) << "adjacent, not overlapping";
    placer.Reset(QRect(0, 0, 100, 100));
    EXPECT_TRUE(placer.TryPlace(QRect(10, 10, 50, 10)));
    placer.Reset(QRect(0, 0, 0, 0));
    EXPECT_FALSE(placer.TryPlace(QRect(10, 10, 50, 10))) << "nothing shows in an empty area";
}
