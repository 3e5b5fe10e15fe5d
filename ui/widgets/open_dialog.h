// TOpenDialog: a file-open dialog component: a title, a filter
// string in the "Description|pattern|Description|pattern" form, the chosen file
// name (kept for the next use) and the initial folder.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vantelo::ui {

class TOpenDialog {
 public:
  QString Title;
  QString Filter;
  QString FileName;    // the file chosen last; empty before the first choice
  QString InitialDir;  // empty: the system's default folder

  // Shows the dialog modally; true when the user chose a file (FileName is set).
  bool Execute(QWidget* parent);

  // Qt name filters for a "Description|pattern|..." filter string. On Linux file names are case
  // sensitive and "*.*" would skip names without a dot, so "*.*" becomes "*"
  // (every file) and "*.zip" also matches "*.ZIP".
  static QStringList NameFilters(const QString& filter);
};

}  // namespace vantelo::ui
