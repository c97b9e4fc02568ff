#pragma once
#include <QString>

// A table, field or index name as an SQL identifier: "name", with a double quote inside the name
// doubled. A name written in the bracket form ("[Name]") is quoted without its brackets. Every
// name spliced into SQL text goes through here; values never do (they are bound as parameters).
QString quoteIdentifier(const QString& name);

// A text as an SQL literal ('...', a quote inside doubled), for the program's own schema texts
// (defaults, comments); values from users and files are bound, never written this way.
QString quoteLiteral(const QString& text);
// A field's default as SQL: a plain number bare, anything else a quoted literal.
QString defaultLiteral(const QString& value);
