#pragma once
#include <QWidget>

namespace velboot {

// A percentage bar, black on white with a thin border and the percentage as text.
class TGauge : public QWidget {
 public:
  explicit TGauge(QWidget* parent = nullptr) : QWidget(parent) {}
  int Progress() const { return progress_; }
  // Clipped to 0..100; a changed value is painted at once, an unchanged one not at all.
  void SetProgress(int value);
  int Paints() const { return paints_; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  int progress_ = 0;
  int paints_ = 0;
};

}  // namespace velboot
