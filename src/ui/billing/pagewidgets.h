#pragma once
// Small helpers the property pages share to build their controls.
#include <QString>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QWidget;

// Each control is named (objectName) so that tests and accessibility tools find it.
QLineEdit* MakeLineEdit(QWidget* parent, const char* name, const QString& text);
QSpinBox* MakeSpinBox(QWidget* parent, const char* name, int min, int max, int value);
QCheckBox* MakeCheckBox(QWidget* parent, const char* name, const QString& label, bool checked);
QRadioButton* MakeRadio(QWidget* parent, const char* name, const QString& label, bool checked);
