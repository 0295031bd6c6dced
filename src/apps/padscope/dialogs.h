#pragma once

#include <QDialog>

namespace Ui {
class RotateAnyDlg;
class About;
}  // namespace Ui

// Asks for an angle by which to rotate the view clockwise.
class RotateAnyDlg : public QDialog {
  Q_OBJECT

public:
  explicit RotateAnyDlg(QWidget* parent = nullptr,
                        Qt::WindowFlags flags = Qt::WindowFlags());
  ~RotateAnyDlg() override;

  // The angle as the spin box shows it, read up to the first character
  // that is not part of a number (so "12,50" gives 12).
  double angle() const;

private:
  Ui::RotateAnyDlg* ui;
};

// What Padscope is, its version and the fonts' acknowledgement.
class AboutDlg : public QDialog {
  Q_OBJECT

public:
  explicit AboutDlg(QWidget* parent = nullptr,
                    Qt::WindowFlags flags = Qt::WindowFlags());
  ~AboutDlg() override;

private:
  Ui::About* ui;
};
