#include "core/app/logonname.h"

#include "core/app/userinterface.h"

QString ApplyLogonNameRule(const QString& name) {
    if (name.size() <= kMaxLogonNameLength)
        return name;
    const QString cut = name.left(kMaxLogonNameLength);
    ui().showMessage(QStringLiteral("Warning, username %1 is more than %2 characters long and "
                                    "will be truncated to %3.")
                         .arg(name)
                         .arg(kMaxLogonNameLength)
                         .arg(cut),
                     MessageIcon::Exclamation);
    return cut;
}
