#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

class CCliContext;

// Subcommands of "invoice" that deliver a stored invoice.
//   invoice print N --pdf FILE   prints invoice N (the page its customer receives) to a PDF file
//   invoice send N [--plan NAME] carries out the send options of invoice N's own invoicing
//                                plan or of the template plan NAME
int RunInvoicePrint(CCliContext& c, const QStringList& args);
int RunInvoiceSend(CCliContext& c, const QStringList& args);

// The arguments of an invoice subcommand: the invoice number N (a positive number, given
// once) among options. Each of `valueOptions` takes the next argument as its value and may be
// given once; `flagOptions` stand alone. nullopt on any other argument, a missing value, a
// repeated value option, or without N.
struct InvoiceArguments {
    qint32 number = 0;
    QHash<QString, QString> values; // value option -> its value
    QStringList flags;              // flag options in the order given
};
std::optional<InvoiceArguments> ParseInvoiceArguments(const QStringList& args,
                                                      const QStringList& valueOptions,
                                                      const QStringList& flagOptions = {});
