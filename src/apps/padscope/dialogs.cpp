#include "apps/padscope/dialogs.h"

#include "ui_about.h"
#include "ui_rotate_any.h"
#include "zcore/to_double.h"

#include <QCoreApplication>

RotateAnyDlg::RotateAnyDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), ui(new Ui::RotateAnyDlg) {
  ui->setupUi(this);
}

RotateAnyDlg::~RotateAnyDlg() {
  delete ui;
}

double RotateAnyDlg::angle() const {
  return zcore::to_double(ui->lineEdit->text().toStdString().c_str());
}

AboutDlg::AboutDlg(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), ui(new Ui::About) {
  ui->setupUi(this);
  ui->textEdit->setReadOnly(true);
  ui->textEdit->setHtml(
      tr("<h3>Padscope %1</h3>"
         "<p>A fast, read-only viewer for printed-circuit-board footprints "
         "in KiCad's formats: <tt>.kicad_mod</tt> files and legacy "
         "<tt>.mod</tt> libraries.</p>"
         "<p>Texts are drawn with the Hershey stroke fonts. The Hershey "
         "Fonts were originally created by Dr. A. V. Hershey while working "
         "at the U. S. National Bureau of Standards. The format of the Font "
         "data in this distribution was originally created by James Hurt, "
         "Cognition, Inc., 900 Technology Park Drive, Billerica, MA 01821 "
         "(mit-eddie!ci-dandelion!hurt).</p>"
         "<p>Icons from the Tango Icon Library (public domain); OCR-A font "
         "by John Sauter (public domain).</p>")
          .arg(QCoreApplication::applicationVersion()));
}

AboutDlg::~AboutDlg() {
  delete ui;
}
