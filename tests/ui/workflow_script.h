// Scripted answers for the Extract button's modal windows, in the order they
// appear, and the small archives the workflow suites run on.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/test_support.h"
#include "ui/dialogs/extract_options_dialog.h"
#include "ui/dialogs/progress_dialog.h"

namespace vantelo::test {

// Answers the modal windows of one workflow in order: each action gets the
// next modal widget that appears and must close it. The progress window,
// modal while a batch runs, closes by itself and is passed over.
class ModalScript {
 public:
  using Action = std::function<void(QWidget*)>;
  ModalScript& Then(Action action) {
    actions_.push_back(std::move(action));
    return *this;
  }
  void Start() {
    QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
    timer_.start(5);
  }
  std::size_t Handled() const { return next_; }

 private:
  void Poll() {
    if (next_ >= actions_.size()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible() || modal == last_.data()) return;
    if (qobject_cast<ui::TFPgsInd*>(modal) != nullptr) return;
    last_ = modal;
    actions_[next_++](modal);
  }
  std::vector<Action> actions_;
  std::size_t next_ = 0;
  QPointer<QWidget> last_;
  QTimer timer_;
};

struct Box {
  QString text, title;
  int icon = -1;
  QString detail;       // the informative text below the text
  QStringList buttons;  // every button's caption, in order
  Qt::TextFormat format = Qt::AutoText;
};

inline void Record(Box* seen, QMessageBox* box) {
  if (seen == nullptr) return;
  *seen = {box->text(), box->windowTitle(), box->icon(), box->informativeText(), {},
           box->textFormat()};
  for (QAbstractButton* b : box->buttons()) seen->buttons << b->text().remove('&');
}

// Records a message box and presses the button with this caption.
inline std::function<void(QWidget*)> AnswerWith(Box* seen, const QString& caption) {
  return [seen, caption](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << "expected a message box, got " << w->metaObject()->className();
    Record(seen, box);
    for (QAbstractButton* b : box->buttons())
      if (b->text().remove('&') == caption) return b->click();
    ADD_FAILURE() << "no button " << caption.toStdString();
    box->buttons().first()->click();
  };
}

// Records a message box and presses the button with the given role.
inline ModalScript::Action Answer(Box* seen, QMessageBox::StandardButton button) {
  return [seen, button](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr) << "expected a message box, got " << w->metaObject()->className();
    Record(seen, box);
    QAbstractButton* b = box->button(button);
    if (b == nullptr) b = box->buttons().first();
    b->click();
  };
}

// Fills the options dialog and presses Extract (mrOk) or Test (mrYes).
inline ModalScript::Action Options(const QString& destination, bool test, int files = -1,
                            bool overwrite = true, const QString& password = {},
                            int* presetSeen = nullptr) {
  return [=](QWidget* w) {
    auto* d = qobject_cast<ui::TFExtrOpt*>(w);
    ASSERT_NE(d, nullptr);
    if (presetSeen != nullptr) *presetSeen = d->rgFiles->ItemIndex();
    d->ddDir->setEditText(destination);
    d->edPswd->setText(password);
    if (files >= 0) d->rgFiles->SetItemIndex(files);
    d->cbOver->setChecked(overwrite);
    QTest::mouseClick(test ? d->BitBtn3 : d->BitBtn1, Qt::LeftButton);
  };
}

// Makes a ZIP of stored entries with Python's zipfile: "name:size", or a
// folder "name/".
inline void MakeZip(const std::string& path, const std::vector<std::string>& entries) {
  std::string command =
      "python3 -c 'import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1], \"w\", zipfile.ZIP_STORED)\n"
      "for item in sys.argv[2:]:\n"
      "    name, _, size = item.rpartition(\":\") if \":\" in item else (item, \"\", \"0\")\n"
      "    data = (b\"Vantelo report text \" * (int(size) // 20 + 1))[:int(size)]\n"
      "    z.writestr(name, data)\n"
      "z.close()' '" +
      path + "'";
  for (const std::string& s : entries) command += " '" + s + "'";
  ASSERT_EQ(RunCommand(command), 0) << command;
}

}  // namespace vantelo::test
