#pragma once
#include <QtGlobal>

class Database;
class QComboBox;

// A plan list as the customer dialogs offer it: "None" (id 0), then the live billing or
// invoicing plans by name, each entry carrying its id; the entry of `selected` is chosen.
// Throws DbException.
void FillBillingPlanCombo(QComboBox* box, Database& db, qint32 selected);
void FillInvoicePlanCombo(QComboBox* box, Database& db, qint32 selected);
// Chooses the entry of `id` ("None" when no entry carries it).
void SelectPlan(QComboBox* box, qint32 id);
// The id of the chosen entry (0 for "None" or nothing).
qint32 SelectedPlan(const QComboBox* box);
