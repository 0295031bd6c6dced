#include "support/qt_printers.h"

QT_BEGIN_NAMESPACE

void PrintTo(const QString& value, std::ostream* out) {
  *out << '"' << value.toStdString() << '"';
}

void PrintTo(const QPointF& value, std::ostream* out) {
  *out << '(' << value.x() << ", " << value.y() << ')';
}

void PrintTo(const QPoint& value, std::ostream* out) {
  *out << '(' << value.x() << ", " << value.y() << ')';
}

void PrintTo(const QSizeF& value, std::ostream* out) {
  *out << value.width() << " x " << value.height();
}

void PrintTo(const QSize& value, std::ostream* out) {
  *out << value.width() << " x " << value.height();
}

void PrintTo(const QRectF& value, std::ostream* out) {
  *out << "rect(" << value.x() << ", " << value.y() << ", " << value.width()
       << " x " << value.height() << ')';
}

void PrintTo(const QRect& value, std::ostream* out) {
  *out << "rect(" << value.x() << ", " << value.y() << ", " << value.width()
       << " x " << value.height() << ')';
}

void PrintTo(const QLineF& value, std::ostream* out) {
  *out << "line(" << value.x1() << ", " << value.y1() << " -> " << value.x2()
       << ", " << value.y2() << ')';
}

void PrintTo(const QColor& value, std::ostream* out) {
  *out << "rgba(" << value.red() << ", " << value.green() << ", "
       << value.blue() << ", " << value.alpha() << ')';
}

QT_END_NAMESPACE
