// TFreport: the report window (Part 2.4). A placeholder until the extraction
// workflow fills it in; created once at start-up (Part 2.1) and kept to the end.
#pragma once

#include <QDialog>

namespace vantelo::ui {

class TFreport : public QDialog {
  Q_OBJECT

 public:
  explicit TFreport(QWidget* parent = nullptr);
  ~TFreport() override;
};

}  // namespace vantelo::ui
