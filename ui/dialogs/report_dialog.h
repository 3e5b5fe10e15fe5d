// TFreport: the "Report" window: the report file shown read-only (no wrap,
// both scroll bars), a Close button and a Print button. Created once at
// start-up and kept to the end; opened modally.
#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace vantelo::ui {

class ShellServices;

class TFreport : public QDialog {
  Q_OBJECT

 public:
  explicit TFreport(QWidget* parent = nullptr);
  ~TFreport() override;

  QPlainTextEdit* RichEdit1 = nullptr;
  QPushButton* Button1 = nullptr;  // "Close"
  QPushButton* Button2 = nullptr;  // "Print"

  // The shell services that print; null prints through the real ones.
  ShellServices* Shell = nullptr;

  // Replaces the shown text with the contents of an 8-bit text file (CR LF or
  // LF line ends). False, with `error` set, when the file cannot be read.
  bool LoadFromFile(const QString& path, QString* error);

  void Button1Click();
  void Button2Click();

  // The print job's title: "Vantelo report " + short date + " " + long time.
  static QString PrintTitle(const QDateTime& when);

 protected:
  // Opens with the focus on Close (Enter closes; no caret blinking in the text).
  void showEvent(QShowEvent* event) override;
};

}  // namespace vantelo::ui
