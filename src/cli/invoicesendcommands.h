#pragma once
#include <QtGlobal>

class CCliContext;

// Subcommands of "invoice" that deliver a stored invoice.
//   invoice print N --pdf FILE   prints invoice N (the page its customer receives) to a PDF file
//   invoice send N [--plan NAME] carries out the send options of invoice N's own invoicing
//                                plan or of the template plan NAME
int RunInvoicePrint(CCliContext& c);
int RunInvoiceSend(CCliContext& c);

// The invoice number N of an invoice subcommand: a positive number, else 0.
qint32 InvoiceNumberArgument(const CCliContext& c);
