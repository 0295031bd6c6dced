#pragma once

#include <QColor>
#include <QLineF>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <ostream>

// Readable gtest failure messages for the Qt values the tests compare.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& value, std::ostream* out) {
  *out << '"' << value.toStdString() << '"';
}
inline void PrintTo(const QPointF& value, std::ostream* out) {
  *out << '(' << value.x() << ", " << value.y() << ')';
}
inline void PrintTo(const QPoint& value, std::ostream* out) {
  *out << '(' << value.x() << ", " << value.y() << ')';
}
inline void PrintTo(const QSizeF& value, std::ostream* out) {
  *out << value.width() << " x " << value.height();
}
inline void PrintTo(const QSize& value, std::ostream* out) {
  *out << value.width() << " x " << value.height();
}
inline void PrintTo(const QRectF& value, std::ostream* out) {
  *out << "rect(" << value.x() << ", " << value.y() << ", " << value.width()
       << " x " << value.height() << ')';
}
inline void PrintTo(const QRect& value, std::ostream* out) {
  *out << "rect(" << value.x() << ", " << value.y() << ", " << value.width()
       << " x " << value.height() << ')';
}
inline void PrintTo(const QLineF& value, std::ostream* out) {
  *out << "line(" << value.x1() << ", " << value.y1() << " -> " << value.x2()
       << ", " << value.y2() << ')';
}
inline void PrintTo(const QColor& value, std::ostream* out) {
  *out << "rgba(" << value.red() << ", " << value.green() << ", "
       << value.blue() << ", " << value.alpha() << ')';
}
QT_END_NAMESPACE
