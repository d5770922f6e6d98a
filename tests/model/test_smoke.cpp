#include "model/figures.h"
#include <gtest/gtest.h>
TEST(Smoke, Builds) { EXPECT_EQ(kelto::createStickmanType().segmentCount(), 12); }
