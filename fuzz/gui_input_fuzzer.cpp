// The workbench's readers of typed and stored text: every validator on any
// text (the first byte picks the validator and its base), and a window's
// layout value of the project file (a memory view's with its view parameters). No crash; a layout value read, written
// and read again gives the same entry; a clamped window lies on the screen.

#include <cstdlib>
#include <limits>
#include <string>

#include "fuzz/fuzz_support.h"
#include "gui/ground/layoutentry.h"
#include "gui/dialogs/validators.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  using namespace dorvik::gui;
  if (size == 0) return 0;
  fuzz::InstallQuietReporter();
  const uint8_t pick = data[0];
  const std::string text(fuzz::Text(data + 1, size - 1));

  static const uint8_t kBases[] = {2, 8, 10, 16};
  const long double inf = std::numeric_limits<long double>::infinity();
  TRangeValidator integer(kKindInteger, -32768, 65535);
  integer.Base = kBases[pick & 3];
  TRangeValidator real(kKindFloat, (pick & 4) ? -inf : -5, (pick & 4) ? inf : 5);
  THEXRangeValidator hex(0, 0xFF);
  THEXSetValidator set(0, 0xFFFF);
  TFilterValidator filter(ExpressionChars);
  for (TValidator* v : {static_cast<TValidator*>(&integer), static_cast<TValidator*>(&real),
                        static_cast<TValidator*>(&hex), static_cast<TValidator*>(&set),
                        static_cast<TValidator*>(&filter)}) {
    // A valid number lies within its range.
    if (v->Validate(text, (pick & 8) != 0) && v != &filter && !v->Empty) {
      const auto* range = static_cast<TRangeValidator*>(v);
      if (v != &set && !(range->Min <= v->Result && v->Result <= range->Max)) std::abort();
    }
    for (char c : text) v->IsValidChar(c);
  }

  // Bit 4 of the first byte: the value of a memory view, with its view parameters.
  const LayoutKind kind = (pick & 16) ? LayoutKind::MemoryView : LayoutKind::Window;
  LayoutEntry entry;
  if (ParseLayoutValue(text, entry, kind)) {
    LayoutEntry again;
    if (!ParseLayoutValue(LayoutValue(entry), again, kind)) std::abort();
    if (again.ViewParams != entry.ViewParams) std::abort();
    if (again.Flag != entry.Flag || again.Left != entry.Left || again.Top != entry.Top ||
        again.Width != entry.Width || again.Height != entry.Height || again.Side != entry.Side)
      std::abort();
    const QRect screen(0, 0, 1280, 1024);
    const QRect r = ClampToScreen(QRect(entry.Left.value_or(0), entry.Top.value_or(0), entry.Width.value_or(100),
                                        entry.Height.value_or(100)),
                                  screen);
    if (!screen.contains(r)) std::abort();
  }
  return 0;
}
