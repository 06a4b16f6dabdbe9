#include <gtest/gtest.h>

#include "app/layout.h"

TEST(LayoutSmoke, HasForm) {
    app::Layout l;
    EXPECT_EQ(l.form().width, 554);
}
