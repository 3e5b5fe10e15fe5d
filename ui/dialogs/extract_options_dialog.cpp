#include "ui/dialogs/extract_options_dialog.h"

namespace vantelo::ui {

TFExtrOpt::TFExtrOpt(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFExtrOpt"));
  setWindowTitle(QStringLiteral("How to Extract?"));
}

TFExtrOpt::~TFExtrOpt() = default;

}  // namespace vantelo::ui
