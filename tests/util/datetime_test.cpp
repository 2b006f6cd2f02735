#include "util/datetime.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(DateValueTest, KnownValues) {
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1900, 1, 1, 12), 2.5);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(2014, 12, 9), 41982.0);
  EXPECT_DOUBLE_EQ(DateValueFromCivil(1899, 12, 29, 6), -1.25);  // the integer part is the day
}

}  // namespace
}  // namespace quillet
