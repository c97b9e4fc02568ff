#include "core/invoice/invoicelabels.h"

#include "core/app/cp1252.h"
#include "core/db/invoiceplanrecord.h"

namespace {

// Each set as Windows-1252 bytes, in the order of InvoiceLabels' members.
struct RawLabels {
    const char* text[24];
};

constexpr RawLabels kEnglish{{
    "Invoice for %1 dated %2",
    "Invoice for the period:  %1 to %2",
    "Invoice Date:  %1",
    "Invoice Number:  %1",
    "To:",
    "Connect Date",
    "Disconnect Date",
    "Time On",
    "Sent",
    "Received",
    "Totals",
    "Minimum payment:",
    "Prepaid:",
    "Previous Balance:",
    "New Balance:",
    "Subtotal:",
    "Gross:",
    "Prepaying",
    "New Charges:",
    "at",
    "per",
    "of",
    "Payments (Thank you!):",
    "You have a credit, therefore no payment is necessary.  Thank you.",
}};

constexpr RawLabels kFrench{{
    "Facture de %1 \xe0 dater du %2",
    "P\xe9riode de facture du %1 au %2",
    "P\xe9riode de facture du:  %1",
    "Numero de facture:  %1",
    "Destinataire:",
    "Date de Connexion",
    "Date de Deconnexion",
    "Temps totale",
    "Transmis",
    "Recus",
    "Somme totale",
    "Minimum d\xfb:",
    "Pay\xe9 d'avance:",
    "Solde pr\xe9"
    "alable:",
    "Solde courant:",
    "Total partiel:",
    "Brut:",
    "Avance de paiement",
    "D\xe9penses nouvelles:",
    "\xe0",
    "pour",
    "des",
    "Paiements (Merci!):",
    "Il vous reste du cr\xe9"
    "dit, donc aucun paiement n'est requis. Merci.",
}};

constexpr RawLabels kSpanish{{
    "Factura para %1 de fecha %2",
    "Factura del periodo:  %1 a %2",
    "Fecha de Factura: %1",
    "Numero del Factura:  %1",
    "Para:",
    "Conexion",
    "Desconexion",
    "Tiempo",
    "Enviado",
    "Recibido",
    "Totales",
    "Minimo:",
    "Prepagado:",
    "Saldo anterior:",
    "Nuevo Saldo:",
    "Subtotal:",
    "Base:",
    "Prepagando",
    "Cargos este mes:",
    "a",
    "por",
    "de",
    "Pagos (Gracias!):",
    "Saldo a su favor, por lo tanto no se requiere pago.  Gracias.",
}};

constexpr RawLabels kPortuguese{{
    "Fatura para %1 datada em %2",
    "Fatura para o per\xedodo: %1 at\xe9 %2",
    "Data da Fatura: %1",
    "Numero da Fatura:  %1",
    "Para:",
    "In\xed"
    "cio da Conex\xe3o",
    "Fim da Conex\xe3o",
    "Dura\xe7\xe3o",
    "Enviados",
    "Recebidos",
    "Totais",
    "Pagamento M\xednimo:",
    "Pago:",
    "Saldo Anterior:",
    "Novo Saldo:",
    "Sub-total:",
    "Total Bruto:",
    "Pagando",
    "Novos Encargos",
    "a",
    "por",
    "de",
    "Pagamentos (Obrigado!):",
    "Voc\xea tem cr\xe9"
    "dito, portanto nenhum pagamento \xe9 necess\xe1rio. Obrigado.",
}};

InvoiceLabels decode(const RawLabels& raw) {
    QString t[24];
    for (int i = 0; i < 24; ++i)
        t[i] = DecodeCp1252(QByteArrayView(raw.text[i]));
    return InvoiceLabels{t[0],  t[1],  t[2],  t[3],  t[4],  t[5],  t[6],  t[7],
                         t[8],  t[9],  t[10], t[11], t[12], t[13], t[14], t[15],
                         t[16], t[17], t[18], t[19], t[20], t[21], t[22], t[23]};
}

} // namespace

const InvoiceLabels& InvoiceLabelsFor(qint32 language) {
    static const InvoiceLabels sets[] = {decode(kEnglish), decode(kFrench), decode(kSpanish),
                                         decode(kPortuguese)};
    if (language < InvoiceLanguage::English || language > InvoiceLanguage::Portuguese)
        language = InvoiceLanguage::English;
    return sets[language];
}
