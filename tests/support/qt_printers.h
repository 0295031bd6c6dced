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
void PrintTo(const QString& value, std::ostream* out);
void PrintTo(const QPointF& value, std::ostream* out);
void PrintTo(const QPoint& value, std::ostream* out);
void PrintTo(const QSizeF& value, std::ostream* out);
void PrintTo(const QSize& value, std::ostream* out);
void PrintTo(const QRectF& value, std::ostream* out);
void PrintTo(const QRect& value, std::ostream* out);
void PrintTo(const QLineF& value, std::ostream* out);
void PrintTo(const QColor& value, std::ostream* out);
QT_END_NAMESPACE
