#pragma once
#include <QString>

// A card number as it may be shown: every character but the last four digits replaced by '*'
// (blanks and dashes dropped); a number of four digits or fewer is masked whole. Empty stays
// empty.
QString MaskCardNumber(const QString& number);
