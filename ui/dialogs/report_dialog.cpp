#include "ui/dialogs/report_dialog.h"

namespace vantelo::ui {

TFreport::TFreport(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TFreport"));
  setWindowTitle(QStringLiteral("Report"));
}

TFreport::~TFreport() = default;

}  // namespace vantelo::ui
