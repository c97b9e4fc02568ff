#pragma once

class CCliContext;

// Subcommands of "invoice" over the stored invoices as a whole.
//   invoice list [--customer NAME] [--from DATE] [--to DATE] [--unpaid] [--format F]
//                        the invoices and payment rows, by number; dates filter the closing date
//   invoice delete N...  deletes the invoices with their plan and charge copies (asks first)
int RunInvoiceList(CCliContext& c);
int RunInvoiceDelete(CCliContext& c);
