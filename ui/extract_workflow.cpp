// Part 2.4: the extraction workflow (options dialog, progress, summary, report).
// Not built yet: the Extract button does nothing.
#include "ui/main_window.h"

namespace vantelo::ui {

void TForm1::sbExtractClick() {}

void TForm1::ShowProgress() {}

}  // namespace vantelo::ui
