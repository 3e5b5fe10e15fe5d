// TFExtrOpt: the "How to Extract?" dialog. Created once at start-up and kept to
// the end, so the destination history, the password, the radio choice and the
// check boxes keep their values between uses.
//
// Modal results: Extract = mrOk (1), Test = mrYes (6), Cancel, Esc and closing
// the window = mrCancel (2).
#pragma once

#include <QDialog>
#include <QGroupBox>

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

 private:
  void BrowseClick();
};

}  // namespace vantelo::ui
