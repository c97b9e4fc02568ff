#pragma once
#include <QString>

// A table, field or index name as an SQL identifier: "name", with a double quote inside the name
// doubled. A name written in the bracket form ("[Name]") is quoted without its brackets. Every
// name spliced into SQL text goes through here; values never do (they are bound as parameters).
QString quoteIdentifier(const QString& name);
