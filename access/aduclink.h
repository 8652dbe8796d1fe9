#pragma once
// The ADuC chip's packet link: command frames with their check bytes, the
// register shadows, code pages, download packets and the chip's speed.

#include <cstdint>
#include <span>
#include <string>

#include "access/transport.h"

namespace dorvik {

// One command frame (letter, argument, check byte) and its reply of Form:
// 0 none, kAckByte, 'Q' single byte, 'D' data block (Count bytes, 0: by the
// letter). The single byte's value, else 0.
uint8_t AducCommand(char letter, uint8_t arg, uint8_t form, int32_t count = 0);
// Out.size() bytes from Addr into Out (the receive state consumed).
bool AducReadBlock(uint8_t space, int32_t addr, std::span<uint8_t> out);
bool AducReadTyped(uint8_t space, int32_t& addr, uint8_t typeToken, int32_t count);
bool AducWriteCodeByte(uint16_t addr, uint8_t value);
// Code bytes within one 64-byte page of code memory.
bool AducWriteCodePage(uint16_t addr, std::span<const uint8_t> bytes);
// External-data bytes: the data pointer set to Addr, the bytes, the transfer closed.
bool AducWriteXData(uint32_t addr, std::span<const uint8_t> bytes);
// One byte of internal data, an SFR or EEPROM.
bool AducWriteByte(uint8_t space, int32_t addr, uint8_t value);
// The go command 'S' from From.
bool AducGo(uint16_t from);
// Loads the register shadows into the chip and starts it with StartLetter
// ('S' run, 'J' one instruction) at PC.
bool AducStart(char startLetter, uint16_t pc);
// Stops the program ('R' with 'Q') and reads the register shadows;
// TargetReset: the chip answered 07H, it reset itself instead.
bool AducHalt(bool& targetReset);
// One instruction at At ('J') and the chip's break report.
bool AducStep(uint16_t at);
// The reset command 'Z'.
bool AducReset();
// The break report at RxBuffer[At..At+6] (lead, ACC, PSW, R0, PC high, PC low,
// check) into the register shadow; AdjustPC: the reported PC is one past the break.
bool AducTakeBreakReport(int32_t at, bool adjustPC);
// Refreshes the SFR shadows from the chip.
bool AducReadSfrShadows();
// A download packet: 07H, Header, the count (data + 1), Command, the data and
// the check byte. Only header 0EH builds one; any other sends nothing.
bool AducSendPacket(uint8_t header, char command, std::span<const uint8_t> data);
// Switches the chip's download speed (its Timer-3 setting) and the port to
// Baud; a chip that has not announced itself (TargetChipId empty) keeps the
// line's speed.
bool AducSetDownloadSpeed(int32_t baud);
// After a failed download: the chip told to go back to Baud (unless it
// restarted, which puts it there) and the port at Baud whatever it answered.
void AducRestoreLineSpeed(int32_t baud, bool chipRestarted);
// The received text from RxIndex - 1 on is the chip's announcement ("ADI 841"
// CR LF, waited for up to its end): TargetChipId set, the announcement counted.
bool AducTakeAnnouncement(std::string& text);
// The Timer-3 setting of the chip TargetChipId for Baud; false when there is none.
bool AducBaudTimerValues(int32_t baud, uint8_t& high, uint8_t& low);

// The chip's identification or its break report among the received bytes.
bool AducTakeNews(LinkNews& news);

}  // namespace dorvik
