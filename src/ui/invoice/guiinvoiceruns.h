#pragma once
#include "core/db/dbdatetime.h"
#include "core/db/userrecord.h"

class Database;
class QWidget;

// The invoice runs as the desktop program starts them: the new invoices are sent through the
// invoicing plans' send options (e-mail, the default printer), a group run's invoices are
// kept, sent or thrown away in the "Commit Invoices" dialog, and the run shows its progress in
// the busy state, where Esc interrupts it. Each returns true on failure; the run has logged
// and shown why.
[[nodiscard]] bool RunCustomerInvoice(Database& db, const UserRow& customer,
                                      const DbDateTime& invoiceDate, bool send,
                                      qint32 billingPlanId, qint32 invoicePlanId);
[[nodiscard]] bool RunGroupInvoices(Database& db, QWidget* parent, const UserRow& group,
                                    const DbDateTime& invoiceDate);
[[nodiscard]] bool RunSendGroupInvoices(Database& db, const UserRow& group,
                                        const DbDateTime& invoiceDate, qint32 invoicePlanId);
