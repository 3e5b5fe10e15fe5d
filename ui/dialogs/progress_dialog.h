// TFPgsInd: the "Progress Indicator" window shown while a batch runs, modal
// to the whole program: the selected and processed counts, a percentage bar
// and a Cancel button that asks the engine to stop. Created once at start-up
// and kept to the end; it keeps its last values between runs. A screen reader
// hears the bar's value and the processed counts change.
#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vantelo::ui {

class TFPgsInd : public QDialog {
  Q_OBJECT

 public:
  explicit TFPgsInd(QWidget* parent = nullptr);
  ~TFPgsInd() override;

  QLabel* stselfiles = nullptr;   // "Selected files: N"
  QLabel* stselbytes = nullptr;   // "Selected bytes: N"
  QLabel* stpf = nullptr;         // "Processed files: "
  QLabel* stprocfiles = nullptr;  // N
  QLabel* stpb = nullptr;         // "Processed bytes:"
  QLabel* stprocbytes = nullptr;  // N
  QProgressBar* PgsBar = nullptr;  // 0..100
  QPushButton* PgsBtn = nullptr;   // "Cancel"

  // Shows the processed counts (as written) and the bar's percentage, and
  // tells accessibility clients what changed.
  void ShowCounts(const QString& files, const QString& bytes, int percent);

  // Asks the running batch to stop (the engine notices at its next refill).
  void PgsBtnClick();

  // While a batch runs, Esc and the window's close button mean Cancel and the
  // window stays; otherwise they hide it as usual.
  void SetRunning(bool running) { running_ = running; }
  bool Running() const { return running_; }
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool running_ = false;
};

}  // namespace vantelo::ui
