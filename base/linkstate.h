#pragma once
// State of the target link: the receive buffer shared by the monitor link, the
// ADuC link and the simulator's block reads, and the reply-parsing marks.

#include <array>
#include <cstdint>
#include <string>

namespace dorvik {

inline constexpr int kRxBufferSize = 1024;

struct LinkState {
  std::array<uint8_t, kRxBufferSize> RxBuffer{};
  int32_t RxCount = 0;             // characters held in RxBuffer
  int32_t RxIndex = 0;             // index of the next character to take
  char LinkChar = 0;               // character most recently taken
  int32_t ReplyMark = 0;           // where the reply being parsed starts
  int32_t ErrorReplyMark = 0;      // where the monitor's error reply starts (after a NAK)
  bool MonitorErrorReply = false;  // the monitor answered with an error (error reply pending)
  uint8_t MonitorVersion = 0;      // the monitor's version from its banner (4 acknowledges HEX records)
  std::string MonitorCommandLine;  // the monitor command line being collected
  std::string TargetChipId;        // the ADuC's identification ("ADI 841"), from its announcement
  int32_t ChipAnnouncements = 0;   // how often the ADuC announced itself (each one a restart)
};

LinkState& Link();

}  // namespace dorvik
