// TFPgsInd: the progress window (Part 2.4). A placeholder until the extraction
// workflow fills it in; created once at start-up (Part 2.1) and kept to the end.
#pragma once

#include <QDialog>

namespace vantelo::ui {

class TFPgsInd : public QDialog {
  Q_OBJECT

 public:
  explicit TFPgsInd(QWidget* parent = nullptr);
  ~TFPgsInd() override;
};

}  // namespace vantelo::ui
