#include "core/customers/customerdelete.h"

#include "core/billing/invoicedoc.h"
#include "core/db/dbexception.h"
#include "core/db/transaction.h"

QString DeleteCustomerQuestion(const UserRow& user) {
    const QString text =
        user.IsGroup
            ? QStringLiteral("Deleting the customer representative %1 will also delete all of "
                             "that customer representative's logon events and invoices.  Are you "
                             "sure you want to delete %2?")
            : QStringLiteral("Deleting the customer %1 will also delete all of that customer's "
                             "logon events and invoices.  Are you sure you want to delete %2?");
    return text.arg(user.Username, user.Username);
}

EditResult DeleteCustomer(Database& db, qint32 id) {
    const QString deleteError = QStringLiteral("Error deleting user records");
    try {
        CUserRecord rec(db);
        if (!rec.findById(id) || rec.Username.isEmpty())
            return EditResult::failed(QStringLiteral("User not found."));
        const QString name = rec.Username;

        Transaction transaction(db);
        rec.deleteCurrent();
        QList<qint32> invoices;
        Statement st = db.prepare(QStringLiteral("SELECT InvoiceNum FROM Invoices WHERE IdUser = ? "
                                                 "ORDER BY InvoiceNum"));
        st.bind(1, id);
        while (st.next())
            invoices.append(st.value(0).toInt());
        for (qint32 number : invoices) {
            QString error;
            if (CInvoiceDoc::DeleteInvoice(db, number, &error))
                return EditResult::failed(deleteError,
                                          QStringLiteral("invoice %1: %2").arg(number).arg(error));
        }
        db.execute(QStringLiteral("DELETE FROM Events WHERE Username = ?"), {name});
        db.execute(QStringLiteral("DELETE FROM UserGroupJoin WHERE UserLinkId = ?"), {id});
        db.execute(QStringLiteral("DELETE FROM Address WHERE IdOwner = ?"), {id});
        // Phones go as well, so that no row is left pointing at a customer that is gone.
        db.execute(QStringLiteral("DELETE FROM Phone WHERE IdOwner = ?"), {id});
        db.execute(QStringLiteral("DELETE FROM FixedUnitsJoin WHERE IdUser = ?"), {id});
        transaction.commit();
    } catch (const DbException& e) {
        return EditResult::failed(deleteError, e.message());
    }
    return {};
}
