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

TEST(SessionTest, StatesStartAtTheirDefaultsAndResetInPlace) {
  Session session;
  Counter& counter = session.Get<Counter>();
  EXPECT_EQ(counter.Value, 7);
  EXPECT_EQ(&session.Get<Counter>(), &counter) << "one state per type";
  counter.Value = 42;
  counter.Names = {"a", "b"};
  session.Get<Other>().Value = 5;

  session.Reset<Other>();
  EXPECT_EQ(counter.Value, 42) << "a single reset leaves the other states";
  EXPECT_EQ(session.Get<Other>().Value, 1);

  session.Reset();
  EXPECT_EQ(&session.Get<Counter>(), &counter) << "a reset keeps every state where it is";
  EXPECT_EQ(counter.Value, 7);
  EXPECT_TRUE(counter.Names.empty());
}

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
