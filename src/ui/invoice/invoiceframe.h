#pragma once
#include <QMdiSubWindow>
#include <memory>

class Database;
class QAction;
class QMdiArea;
class QMenuBar;
class QTextBrowser;
struct DeliveryInvoice;

// The invoice window: one stored invoice (document name "%d.inv") rendered with its own
// invoicing plan and shown as the HTML page or the text page. Commands: View Plain Text /
// View HTML Text (kept in "ViewHTML"), Copy, Select All, Print (with the print dialog), Print
// direct (the default printer, no dialog), Page Setup (kept in "PageOrientation" and
// "PageMargins") and View/print/send (the send options, with the send dialog's override plan).
class CInvoiceFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    ~CInvoiceFrame() override;

    // Opens the window of invoice `invoiceNum` in `area`, or activates the one already open.
    // Null when the invoice cannot be loaded or shown (the reason was shown and logged).
    static CInvoiceFrame* open(QMdiArea* area, Database& db, qint32 invoiceNum);
    // The open invoice windows of `area`, in the order they were opened.
    static QList<CInvoiceFrame*> openFrames(QMdiArea* area);

    qint32 invoiceNum() const;
    QString documentName() const; // "%d.inv"
    bool htmlView() const;
    QTextBrowser* browser() const { return m_browser; }
    QMenuBar* menuBar() const { return m_menu; }
    const DeliveryInvoice& invoice() const { return *m_inv; }
    // The window's commands by object name ("actionViewPlainText", "actionPrintDirect" ...).
    QAction* action(const QString& objectName) const;

    // --- commands ---
    void toggleView();
    void copy();
    void selectAll();
    void print();
    // Prints without a dialog with the invoice's own plan; "Error printing." on failure.
    bool printDirect();
    void pageSetup();
    void sendOptions();
    // E-mails the invoice with its own plan; a failure is logged with code 20. True on failure.
    bool emailWithOwnPlan();

private:
    CInvoiceFrame(Database& db, std::unique_ptr<DeliveryInvoice> inv);
    void createCommands();
    // Shows the page the view flag chooses and updates the check mark.
    void showPage();
    void refresh();

    Database& m_db;
    std::unique_ptr<DeliveryInvoice> m_inv;
    QMenuBar* m_menu = nullptr;
    QTextBrowser* m_browser = nullptr;
    QAction* m_plainAction = nullptr;
    QAction* m_htmlAction = nullptr;
    int m_refreshId = 0;
};
