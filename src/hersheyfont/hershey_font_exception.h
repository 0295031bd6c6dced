#pragma once

#include <QException>

#include <string>

namespace hersheyfont {

// The font's one failure: "Failed to load file:" or "Invalid font".
class HersheyFontException : public QException {
public:
  explicit HersheyFontException(std::string message);
  ~HersheyFontException() override;

  const char* what() const noexcept override;
  void raise() const override;
  HersheyFontException* clone() const override;

private:
  std::string message;
};

}  // namespace hersheyfont
