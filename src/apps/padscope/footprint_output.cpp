#include "apps/padscope/footprint_output.h"

#include "zcore/footprint_facts.h"
#include "zwidget/zviewer/obj_canvas.h"
#include "zwidget/zviewer/zscene.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QMenu>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>

using zwidget::zcvpcb::ZObjCanvas;

namespace {

const char* const kExportFormat = "export/format";
const char* const kExportTrueSize = "export/true_size";
const char* const kExportScale = "export/scale";
const char* const kExportWidth = "export/width";
const char* const kExportHeight = "export/height";
const char* const kExportFolder = "export/folder";
const char* const kPrintFit = "print/fit_to_page";
const char* const kPrintScale = "print/scale";

const char* const kFormatNames[] = {"png", "svg", "pdf"};

QString format_name(PictureFormat format) {
  return QString::fromLatin1(kFormatNames[static_cast<int>(format)]);
}

// A scale as typed or stored: positive and not absurd, else 1.
double sound_scale(double scale) {
  return scale >= 0.01 && scale <= 1000 ? scale : 1;
}

// The export's choices, filled from and back into an ExportChoice.
class ExportDialog : public QDialog {
public:
  ExportDialog(QWidget* parent, const ExportChoice& choice) : QDialog(parent) {
    setWindowTitle(tr("Export"));
    format->addItems({"PNG", "SVG", "PDF"});
    format->setCurrentIndex(static_cast<int>(choice.format));
    width->setRange(1, 10000);
    height->setRange(1, 10000);
    width->setValue(choice.pixels.width());
    height->setValue(choice.pixels.height());
    scale->setRange(0.01, 1000);
    scale->setDecimals(2);
    scale->setValue(choice.scale);
    scale->setSuffix(tr(" : 1"));
    (choice.true_size ? true_size : view)->setChecked(true);
    auto* form = new QFormLayout(this);
    form->addRow(tr("Format:"), format);
    form->addRow(view);
    form->addRow(tr("Width (pixels):"), width);
    form->addRow(tr("Height (pixels):"), height);
    form->addRow(true_size);
    form->addRow(tr("Scale:"), scale);
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(view, &QRadioButton::toggled, this, [this] { enable(); });
    enable();
  }

  ExportChoice choice() const {
    ExportChoice chosen;
    chosen.format = static_cast<PictureFormat>(format->currentIndex());
    chosen.true_size = true_size->isChecked();
    chosen.scale = scale->value();
    chosen.pixels = QSize(width->value(), height->value());
    return chosen;
  }

private:
  void enable() {
    width->setEnabled(view->isChecked());
    height->setEnabled(view->isChecked());
    scale->setEnabled(!view->isChecked());
  }

  QComboBox* format = new QComboBox(this);
  QRadioButton* view = new QRadioButton(tr("The view as it is"), this);
  QSpinBox* width = new QSpinBox(this);
  QSpinBox* height = new QSpinBox(this);
  QRadioButton* true_size =
      new QRadioButton(tr("The footprint at true size"), this);
  QDoubleSpinBox* scale = new QDoubleSpinBox(this);
};

}  // namespace

FootprintOutput::FootprintOutput(QWidget* window, QMenu* menu, QAction* before,
                                 CanvasSource canvas, Report report)
    : QObject(window),
      window(window),
      canvas(std::move(canvas)),
      report(std::move(report)) {
  const struct {
    const char* name;
    const char* text;
    const char* tip;
    QList<QKeySequence> keys;
    void (FootprintOutput::*slot)();
  } actions[] = {
      {"actionCopy",
       "Copy",
       "Copy the selection's facts, or the view as a picture",
       {QKeySequence::Copy},
       &FootprintOutput::copy},
      {"actionExport",
       "Export...",
       "Save the footprint as PNG, SVG or PDF",
       {QKeySequence(tr("Ctrl+Shift+E")), QKeySequence::Save},
       &FootprintOutput::export_picture},
      {"actionPrint",
       "Print...",
       "Print the footprint at true size",
       {QKeySequence::Print},
       &FootprintOutput::print},
      {"actionPrintPreview",
       "Print preview",
       "See the printed page before printing",
       {QKeySequence(tr("Ctrl+Shift+P"))},
       &FootprintOutput::print_preview},
  };
  for (const auto& a : actions) {
    auto* action = new QAction(tr(a.text), window);
    action->setObjectName(a.name);
    action->setStatusTip(tr(a.tip));
    action->setShortcuts(a.keys);
    connect(action, &QAction::triggered, this, a.slot);
    menu->insertAction(before, action);
    window->addAction(action);
  }
  menu->insertSeparator(before);
}

QString FootprintOutput::footprint_name(const ZObjCanvas& canvas) {
  if (canvas.module_count() > 1) return canvas.module_name();
  const zcore::footprint_facts* facts = canvas.footprint_figures();
  return facts ? QString::fromStdString(facts->name) : QString();
}

ZObjCanvas* FootprintOutput::shown() const {
  ZObjCanvas* current = canvas();
  if (current && current->footprint_figures()) return current;
  report(tr("Open a footprint first."));
  return nullptr;
}

QMimeData* FootprintOutput::clipboard_data() const {
  ZObjCanvas* current = shown();
  if (!current) return nullptr;
  auto* data = new QMimeData;
  const QString facts = current->selection_text();
  if (!facts.isEmpty()) {
    data->setText(facts);
    return data;
  }
  const QSize size = current->viewport()->size();
  data->setImageData(view_image(*current, size));
  data->setData(QStringLiteral("image/svg+xml"),
                view_svg(*current, size, footprint_name(*current)));
  return data;
}

void FootprintOutput::copy() {
  if (QMimeData* data = clipboard_data()) {
    const bool text = data->hasText();
    QApplication::clipboard()->setMimeData(data);
    report(text ? tr("Copied the selection's facts.")
                : tr("Copied the view as a picture."));
  }
}

ExportChoice FootprintOutput::stored_export_choice() {
  QSettings settings;
  ExportChoice choice;
  const QString format = settings.value(kExportFormat).toString();
  for (int i = 0; i < 3; ++i)
    if (format == QLatin1String(kFormatNames[i]))
      choice.format = static_cast<PictureFormat>(i);
  choice.true_size = settings.value(kExportTrueSize, false).toBool();
  choice.scale = sound_scale(settings.value(kExportScale, 1.0).toDouble());
  const int width = settings.value(kExportWidth, 800).toInt();
  const int height = settings.value(kExportHeight, 600).toInt();
  if (width >= 1 && width <= 10000 && height >= 1 && height <= 10000)
    choice.pixels = QSize(width, height);
  return choice;
}

void FootprintOutput::store_export_choice(const ExportChoice& choice) {
  QSettings settings;
  settings.setValue(kExportFormat, format_name(choice.format));
  settings.setValue(kExportTrueSize, choice.true_size);
  settings.setValue(kExportScale, choice.scale);
  settings.setValue(kExportWidth, choice.pixels.width());
  settings.setValue(kExportHeight, choice.pixels.height());
}

PrintChoice FootprintOutput::stored_print_choice() {
  QSettings settings;
  PrintChoice choice;
  choice.fit = settings.value(kPrintFit, false).toBool();
  choice.scale = sound_scale(settings.value(kPrintScale, 1.0).toDouble());
  return choice;
}

void FootprintOutput::store_print_choice(const PrintChoice& choice) {
  QSettings settings;
  settings.setValue(kPrintFit, choice.fit);
  settings.setValue(kPrintScale, choice.scale);
}

void FootprintOutput::export_picture() {
  ZObjCanvas* current = shown();
  if (!current) return;
  ExportDialog dialog(window, stored_export_choice());
  if (dialog.exec() != QDialog::Accepted) return;
  const ExportChoice choice = dialog.choice();
  store_export_choice(choice);
  QSettings settings;
  const QString folder =
      settings
          .value(kExportFolder, QStandardPaths::writableLocation(
                                    QStandardPaths::PicturesLocation))
          .toString();
  const QString name = footprint_name(*current);
  const QString suffix = format_name(choice.format);
  const QString path = QFileDialog::getSaveFileName(
      window, tr("Export"),
      QDir(folder).filePath((name.isEmpty() ? tr("footprint") : name) + '.' +
                            suffix),
      tr("%1 files (*.%2)").arg(suffix.toUpper(), suffix));
  if (path.isEmpty()) return;
  settings.setValue(kExportFolder, QFileInfo(path).absolutePath());
  const QString problem = ::export_picture(*current, choice, path, name);
  report(problem.isEmpty() ? tr("Exported %1").arg(path)
                           : tr("Cannot export %1: %2").arg(path, problem));
}

// At the screen's resolution, as pictures are drawn: pad numbers are laid
// out in the device's font resolution. Paper and PDF stay vector.
void FootprintOutput::prepare(QPrinter& printer) const {
  printer.setDocName(footprint_name(*canvas()));
}

void FootprintOutput::print() {
  ZObjCanvas* current = shown();
  if (!current) return;
  QPrinter printer(QPrinter::ScreenResolution);
  prepare(printer);
  QPrintDialog dialog(&printer, window);
  auto* fit = new QCheckBox(tr("Fit to the page (else true size)"));
  fit->setWindowTitle(tr("Scale"));
  PrintChoice choice = stored_print_choice();
  fit->setChecked(choice.fit);
  dialog.setOptionTabs({fit});
  if (dialog.exec() != QDialog::Accepted) return;
  choice.fit = fit->isChecked();
  store_print_choice(choice);
  if (!print_footprint(printer, *current, choice, footprint_name(*current),
                       QDate::currentDate()))
    report(tr("Cannot print the footprint."));
}

void FootprintOutput::print_preview() {
  ZObjCanvas* current = shown();
  if (!current) return;
  QPrinter printer(QPrinter::ScreenResolution);
  prepare(printer);
  QPrintPreviewDialog dialog(&printer, window);
  const PrintChoice choice = stored_print_choice();
  connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
          [&](QPrinter* target) {
            print_footprint(*target, *current, choice, footprint_name(*current),
                            QDate::currentDate());
          });
  dialog.exec();
}
