#pragma once
#include "core/db/fielddef.h"

class UpgradeContext;

// Changes a field's size or attributes while keeping its data: the values are parked in a
// field "tmp" of the same table, the field is made again with the new description and the
// values are copied back. The table's indexes are saved and made again around it (the engine
// keeps no relations between tables, so there are none to save). Throws DbException.
void ConvertField(UpgradeContext& ctx, const QString& table, const FieldDef& newDef);
