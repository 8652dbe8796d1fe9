#include "machine/images.h"

#include "base/session.h"

namespace dorvik {

MemoryImages& Images() { return CurrentSession().Get<MemoryImages>(); }

void ResetSfrImage() { Images().SfrImage = kSfrResetImage; }

}  // namespace dorvik
