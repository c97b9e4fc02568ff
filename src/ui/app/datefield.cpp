#include "ui/app/datefield.h"

#include "core/app/userinterface.h"
#include "core/db/datetimeutil.h"

#include <QLineEdit>

QDateTime ReadDateField(QLineEdit* edit) {
    const DateEntryResult r = CheckDateEntry(edit->text(), false);
    if (!r.accepted() || !r.hasDate) {
        if (!r.message.isEmpty())
            ui().showMessage(r.message, MessageIcon::Exclamation);
        edit->setFocus();
        edit->selectAll();
        return {};
    }
    return DbToDateTime(r.value);
}
