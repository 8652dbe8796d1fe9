#include "debugger/views.h"

namespace dorvik {

// No views are kept yet.
void RefreshDebugViews() {}

}  // namespace dorvik
