#pragma once
// The processor status fields and the caption state that commands bring up
// to date, and the reads that fill them from the target.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace dorvik {

// Caption states
inline constexpr uint8_t kCaptionReset = 0;
inline constexpr uint8_t kCaptionRunning = 1;
inline constexpr uint8_t kCaptionHalted = 2;

struct DebugStatusState {
  // The processor status fields by name ("st" + register): a caption, CR, the value.
  std::map<std::string, std::string> StatusFields;
  uint8_t Caption = kCaptionReset;
  int32_t RefreshCount = 0;  // how often the views were refreshed (the views that watch it redraw)

  DebugStatusState();
};

DebugStatusState& DebugStatus();

// Status fields
// Keeps the field's text up to and including its first CR and puts Value after it; no such field: nothing.
void SetRegisterText(std::string_view name, std::string_view value);
// The value part of a status field ("" when there is none).
std::string RegisterText(std::string_view name);
// Reads the target's registers into the status fields and Run().CurrentPC.
// AskBoard: a board is asked for its registers too (a stop, a register
// changed); without it a board's fields show what it reported.
void RefreshDebugViews(bool askBoard = true);
// A run on a target with local images: the PC field takes the PC that the
// simulator reports every 256 instructions. True while it follows a run.
bool FollowRunningPC();

// Caption
void UpdateCaption(uint8_t state);
// The idle handler's halt detection for a target whose run ended by itself:
// the prompt goes back to "hlt>" and the caption to Halted.
void DebugViewsIdle();

}  // namespace dorvik
