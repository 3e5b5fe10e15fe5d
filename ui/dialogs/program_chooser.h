// ProgramChooser: "Open With", the choice of a program for one file. Lists the
// programs the desktop has for the file's type (name and icon, the default
// first); "Show all programs" adds every other program of the desktop's menus,
// and is on from the start when the type has none. "Other..." picks a program
// file with a file dialog. Open (or a double click, or Enter) takes the
// program of the current row.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <vector>

#include "ui/desktop_programs.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace vantelo::ui {

class ProgramChooser : public QDialog {
  Q_OBJECT

 public:
  // `fileName` and `typeName` are only shown; `allPrograms` is asked the first
  // time every program is to be listed.
  ProgramChooser(QWidget* parent, const QString& fileName, const QString& typeName,
                 std::vector<DesktopProgram> forType,
                 std::function<std::vector<DesktopProgram>()> allPrograms);
  ~ProgramChooser() override;

  // After an accepted exec(): the desktop file id of the program picked from
  // the list, or (after "Other...") the program file; the other one is empty.
  QString ChosenProgramId() const { return chosenId_; }
  QString ChosenExecutable() const { return chosenExecutable_; }

  QLabel* Prompt = nullptr;           // which file, and whether its type has programs
  QListWidget* Programs = nullptr;    // one row per program: icon and name
  QCheckBox* ShowAll = nullptr;       // "Show all programs"
  QPushButton* OtherButton = nullptr;  // "Other...": a program file
  QPushButton* OpenButton = nullptr;   // "Open", the default button
  QPushButton* CancelButton = nullptr;

 private:
  void FillList();
  void OpenCurrent();
  void ChooseOther();

  QString fileName_;
  std::vector<DesktopProgram> forType_;
  std::vector<DesktopProgram> others_;  // every other program, once asked for
  bool othersLoaded_ = false;
  std::function<std::vector<DesktopProgram>()> allPrograms_;
  QString chosenId_;
  QString chosenExecutable_;
};

}  // namespace vantelo::ui
