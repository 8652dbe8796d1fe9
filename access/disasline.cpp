#include "access/disasline.h"

#include "base/session.h"

#include <memory>

namespace dorvik {

void tDisasLine::Assign(const tDisasLine& source) {
  SourceLineNo = source.SourceLineNo;
  CodeBytes = source.CodeBytes;
  Instruction = source.Instruction;
  SourceLine = source.SourceLine;
  LabelStr = source.LabelStr;
  BytesNo = source.BytesNo;
  Addr = source.Addr;
}

void tDisasCollection::Allocate() {
  items_.resize(kCount);
  for (uint32_t a = 0; a < kCount; ++a) items_[a].Addr = static_cast<uint16_t>(a);
}

void tDisasCollection::InvalidateLines(uint16_t address) {
  if (items_.empty()) return;
  items_[address].Invalidate();
  for (uint16_t back = 1; back <= 2; ++back) {
    tDisasLine& line = items_[static_cast<uint16_t>(address - back)];
    if (line.BytesNo > back) line.Invalidate();
  }
}

void tDisasCollection::InvalidateAll() {
  for (tDisasLine& line : items_) line.Invalidate();
}

tDisasCollection& DisasLines() { return CurrentSession().Get<tDisasCollection>(); }

}  // namespace dorvik
