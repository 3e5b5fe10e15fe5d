// TFExtrOpt: the extraction options dialog (Part 2.4). A placeholder until the extraction
// workflow fills it in; created once at start-up (Part 2.1) and kept to the end.
#pragma once

#include <QDialog>

namespace vantelo::ui {

class TFExtrOpt : public QDialog {
  Q_OBJECT

 public:
  explicit TFExtrOpt(QWidget* parent = nullptr);
  ~TFExtrOpt() override;
};

}  // namespace vantelo::ui
