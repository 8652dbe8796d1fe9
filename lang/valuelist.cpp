#include "lang/valuelist.h"

#include <bit>
#include <cmath>

#include "base/session.h"
#include "lang/keywords.h"

namespace dorvik {

tValueList& ValueList() { return CurrentSession().Get<tValueList>(); }

void AppendValue(int32_t typeToken, uint32_t value) {
  ValueList().Items.push_back({typeToken, value});
}

long double ItemValue(const tValueItem& item) {
  switch (item.TypeToken) {
    case tok::kFLOAT: return std::bit_cast<float>(item.Value);
    case tok::kINTEGER: return static_cast<int16_t>(item.Value & 0xFFFF);
    case tok::kSHORTINT: return static_cast<int8_t>(item.Value & 0xFF);
    case tok::kLONGINT: return static_cast<int32_t>(item.Value);
    default: return item.Value;
  }
}

int ElementSize(int32_t typeToken) {
  switch (typeToken) {
    case tok::kINTEGER: case tok::kWORD: case tok::kADDRESS: return 2;
    case tok::kPOINTER: return 3;
    case tok::kLONGINT: case tok::kDOUBLEWORD: case tok::kFLOAT: return 4;
    default: return 1;
  }
}

uint32_t LowBits32(long double value) {
  if (!(std::fabs(value) < 9.2e18L)) return 0;
  return static_cast<uint32_t>(static_cast<int64_t>(value));
}

}  // namespace dorvik
