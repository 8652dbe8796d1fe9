#include "base/userseam.h"

#include "platform/replaceable.h"

namespace dorvik {

namespace {

platform::Replaceable<UserSeam> g_user;

}  // namespace

UserSeam& User() {
  static UserSeam headless;
  return g_user.Or(headless);
}

UserSeam* SetUserSeam(UserSeam* seam) { return g_user.Install(seam); }

}  // namespace dorvik
