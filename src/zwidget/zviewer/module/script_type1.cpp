#include "zwidget/zviewer/module/script_type1.h"

namespace zwidget::zaux {

ScriptType1::ScriptType1(QString script, Resolver* resolver)
    : script_text(std::move(script)), resolver(resolver) {
}

QString ScriptType1::process(Resolver* new_resolver) {
  if (new_resolver) resolver = new_resolver;
  QString token;
  bool inside = false;
  for (const QChar c : script_text) {
    if (c == QLatin1Char('{')) {
      // A second brace before the closing one stays part of the token.
      inside = true;
      token.append(c);
    } else if (c == QLatin1Char('}')) {
      inside = false;
      token.append(c);
      // Without a resolver every token stays as written.
      result_text.append(resolver ? resolver->resolve(token) : token);
      token.clear();
    } else if (inside) {
      token.append(c);
    } else {
      result_text.append(c);
    }
  }
  // A token left open at the end is dropped.
  return result_text;
}

}  // namespace zwidget::zaux
