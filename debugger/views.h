#pragma once
// The debug views' state that commands bring up to date: the register status
// fields, the caption state and the line marks.

namespace dorvik {

// Reads the target's registers into the status fields and refreshes the views.
void RefreshDebugViews();

}  // namespace dorvik
