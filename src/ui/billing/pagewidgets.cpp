#include "ui/billing/pagewidgets.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

QLineEdit* MakeLineEdit(QWidget* parent, const char* name, const QString& text) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QSpinBox* MakeSpinBox(QWidget* parent, const char* name, int min, int max, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(min, max);
    spin->setValue(value);
    return spin;
}

QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& label, bool checked) {
    auto* box = new QCheckBox(label, parent);
    box->setObjectName(QLatin1String(name));
    box->setChecked(checked);
    return box;
}

QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& label, bool checked) {
    auto* radio = new QRadioButton(label, parent);
    radio->setObjectName(QLatin1String(name));
    radio->setChecked(checked);
    return radio;
}
