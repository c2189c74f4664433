#include <gtest/gtest.h>
#include "cli/settings.h"
TEST(Placeholder, Builds) {
    EXPECT_EQ(settings.count, 4);
}
