#include "ui/dialogs/progress_dialog.h"

namespace vantelo::ui {

TFPgsInd::TFPgsInd(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFPgsInd"));
  setWindowTitle(QStringLiteral("Progress Indicator"));
}

TFPgsInd::~TFPgsInd() = default;

}  // namespace vantelo::ui
