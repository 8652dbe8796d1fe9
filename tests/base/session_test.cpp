#include "base/session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dorvik {
namespace {

struct Counter {
  int Value = 7;
  std::vector<std::string> Names;
};
struct Other {
  int Value = 1;
};

TEST(SessionTest, SavedStatesComeBackAfterANestedUse) {
  ResetState<Counter>();
  CurrentSession().Get<Counter>().Value = 3;
  {
    SavedStates<Counter, Other> saved;
    CurrentSession().Get<Counter>().Value = 99;
    CurrentSession().Get<Other>().Value = 99;
  }
  EXPECT_EQ(CurrentSession().Get<Counter>().Value, 3);
  EXPECT_EQ(CurrentSession().Get<Other>().Value, 1);
  ResetSession();
}

}  // namespace
}  // namespace dorvik
