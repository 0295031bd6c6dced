#pragma once

#include <QString>

namespace zwidget::zaux {

// Fills a template: every `{token}` is replaced by what the resolver
// returns for it, braces included; text outside tokens is copied.
class ScriptType1 {
public:
  class Resolver {
  public:
    virtual QString resolve(QString key) = 0;
    virtual ~Resolver() = default;
  };

  ScriptType1(QString script, Resolver* resolver);
  virtual ~ScriptType1() = default;

  // Runs the replacement, appending to the result, and returns the result.
  // A given resolver replaces the stored one first.
  QString process(Resolver* resolver = nullptr);

  QString script() const { return script_text; }
  QString result() const { return result_text; }

private:
  QString script_text;
  QString result_text;
  Resolver* resolver;
};

}  // namespace zwidget::zaux
