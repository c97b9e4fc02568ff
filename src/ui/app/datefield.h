#pragma once
#include <QDateTime>

class QLineEdit;

// The date-time typed in a field, checked by the date-entry rule; invalid after the reason has
// been shown, with the focus back in the field and its text selected.
QDateTime ReadDateField(QLineEdit* edit);
