#include "core/messages.h"

#include <gtest/gtest.h>

namespace dorvik {
namespace {

TEST(Messages, ErrorSetsFlagAndNumber) {
  ResetMessages();
  ReportError(118);
  EXPECT_TRUE(Messages().ErrorFlag);
  EXPECT_EQ(Messages().LastErrorCode, 118);
}

}  // namespace
}  // namespace dorvik
