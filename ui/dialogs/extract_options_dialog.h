// TFExtrOpt: the "How to Extract?" dialog. Created once at start-up and kept to
// the end, so the destination history, the password, the radio choice and the
// check boxes keep their values between uses.
//
// Modal results: Extract = mrOk (1), Test = mrYes (6), Cancel, Esc and closing
// the window = mrCancel (2).
//
// The destination box's list shows the destination suggested for the open
// archive first, then the remembered destinations (History, newest first);
// Delete on a remembered one in the open list forgets it. The dialog opens
// with the focus in the destination box, and Enter there always presses
// Extract (an inline completion from the list is taken as shown).
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace vantelo::ui {

// A titled group of radio buttons addressed by item index (-1: none checked).
class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QRadioButton* Item(int index) const;
  int Count() const;

 private:
  QButtonGroup* group_ = nullptr;
};

class TFExtrOpt : public QDialog {
  Q_OBJECT

 public:
  explicit TFExtrOpt(QWidget* parent = nullptr);
  ~TFExtrOpt() override;

  QLabel* Label1 = nullptr;       // "Extract To:"
  QComboBox* ddDir = nullptr;     // editable; its list is the destination history
  QToolButton* btnBrowse = nullptr;  // picks a folder into ddDir
  QLabel* Label2 = nullptr;       // "Password:"
  QLineEdit* edPswd = nullptr;    // each character shown as "*"
  TRadioGroup* rgFiles = nullptr;  // 0 "All Files", 1 "Selected Files"
  QGroupBox* GroupBox1 = nullptr;  // "Options"
  QCheckBox* cbOver = nullptr;    // "Overwrite Existing Files"
  QCheckBox* cbUse = nullptr;     // "Use Folder Names"
  QPushButton* BitBtn1 = nullptr;  // "Extract", default button: mrOk
  QPushButton* BitBtn3 = nullptr;  // "Test": mrYes
  QPushButton* BitBtn2 = nullptr;  // "Cancel": mrCancel

  // Esc and the window's close button end the dialog with mrCancel.
  void reject() override;

  // The remembered destinations, newest first.
  const QStringList& History() const { return history_; }
  void SetHistory(const QStringList& destinations);
  // A destination that was used: it goes on top unless it equals the newest
  // one (only the first item is compared, so repeats further down stay).
  void RememberDestination(const QString& destination);
  // Forgets the remembered destination at `index` of History.
  void ForgetDestination(int index);

  // The destinations suggested for the open archive: `intoSubfolder` is a new
  // folder named after it; `beside`, when not empty, the archive's own folder,
  // offered instead while "Use Folder Names" is checked (the entries bring one
  // top-level folder of their own). The box's text becomes the suggestion when
  // it is empty or still holds the previous suggestion.
  void SetSuggestion(const QString& intoSubfolder, const QString& beside);
  // The suggestion that fits the options as they are now ("" when none).
  QString Suggestion() const;

 signals:
  void HistoryChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BrowseClick();
  // The box's list from the suggestion and the history; the typed text stays.
  void RebuildList();
  // The suggestion changed (another archive, or "Use Folder Names" toggled).
  void FollowSuggestion(const QString& before);

  QStringList history_;
  QString intoSubfolder_;
  QString beside_;
};

}  // namespace vantelo::ui
