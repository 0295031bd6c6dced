#pragma once

#include <QException>
#include <QString>

#include <string>

namespace zwidget::zaux {

// A failure of the viewer with a message for the developer's eyes.
class ZMessageException : public QException {
public:
  explicit ZMessageException(const QString& message);
  ZMessageException(const ZMessageException& other) = default;
  ~ZMessageException() override;

  const char* what() const noexcept override;
  void raise() const override;
  ZMessageException* clone() const override;

private:
  std::string message;
};

}  // namespace zwidget::zaux
