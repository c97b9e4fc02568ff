#pragma once
#include <QtGlobal>

class Database;
class QComboBox;

// Fills a combo box with the template plans (frozen copies are never offered), "None" (id 0)
// first, each entry carrying the plan's Id as its data, and selects `selectId` (else "None").
// False when the plans could not be read (the message was shown; only "None" is offered).
bool FillBillingPlanCombo(QComboBox* combo, Database& db, qint32 selectId = 0);
bool FillInvoicePlanCombo(QComboBox* combo, Database& db, qint32 selectId = 0);
