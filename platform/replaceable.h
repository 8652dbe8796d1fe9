#pragma once
// A service that the executables and the tests may replace: the reporter, the
// clock, the dialogs, the process runner, the simulator's external bus, the
// evaluator's way into the target. Each keeps one of these beside its default.

#include <utility>

namespace dorvik::platform {

template <class Service>
class Replaceable {
 public:
  // The installed replacement, or Fallback when none is installed.
  Service& Or(Service& fallback) const { return installed_ != nullptr ? *installed_ : fallback; }
  // The installed replacement (nullptr: none).
  Service* Installed() const { return installed_; }
  // Installs Replacement (nullptr: back to the default); returns the one it replaced.
  Service* Install(Service* replacement) { return std::exchange(installed_, replacement); }

 private:
  Service* installed_ = nullptr;
};

}  // namespace dorvik::platform
