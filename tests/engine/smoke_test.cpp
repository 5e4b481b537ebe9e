#include <gtest/gtest.h>
#include "orlix/fstack.h"
TEST(Smoke, Builds) { EXPECT_TRUE(orlix::fStack::justCreateWithString("x")); }
