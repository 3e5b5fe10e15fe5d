// TFAbout: the About box: a fixed 434 x 331 dialog, caption
// "About Vantelo", the program name, the library line, three maker and contact
// labels and an OK button. No handlers of its own.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace vantelo::ui {

class TFAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFAbout(QWidget* parent = nullptr);
  ~TFAbout() override;

  QLabel* Label1 = nullptr;  // "Vantelo", 20-pixel font
  QLabel* Label2 = nullptr;  // "Demo of Korvane Unzip Library", 16-pixel font, centred
  QLabel* Label3 = nullptr;  // the maker
  QLabel* Label4 = nullptr;  // web address
  QLabel* Label5 = nullptr;  // e-mail address
  QPushButton* OKButton = nullptr;
};

}  // namespace vantelo::ui
