#include "lang/target_access.h"

#include "lang/keywords.h"
#include "lang/valuelist.h"
#include "platform/replaceable.h"

namespace dorvik {
namespace {

// "No target": nothing is read, every value is 0, the value list gets the
// items a read would have appended.
class NoTarget final : public TargetAccess {
 public:
  int32_t RegisterValue(uint8_t) override { return 0; }
  uint8_t ReadByte(uint8_t space, uint32_t) override {
    AppendValue(space == 4 ? tok::kBIT : tok::kBYTE, 0);
    return 0;
  }
  void ReadTypedRange(uint8_t, uint8_t) override { ValueList().Items.clear(); }
  void ReadSymbolValue(const tSymbolItem&) override { ValueList().Items.clear(); }
};

NoTarget no_target;
platform::Replaceable<TargetAccess> current;

}  // namespace

TargetAccess& CurrentTargetAccess() { return current.Or(no_target); }

TargetAccess* SetTargetAccess(TargetAccess* target) { return current.Install(target); }

}  // namespace dorvik
