// Part 2.5: opening an entry with its associated program. Not built yet:
// a double click reaches ExecFile, which does nothing.
#include "ui/main_window.h"

namespace vantelo::ui {

void TForm1::DrawGrid1DblClick() { ExecFile(); }

void TForm1::ExecFile() {}

}  // namespace vantelo::ui
