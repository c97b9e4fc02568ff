#pragma once
#include <QByteArray>
#include <QString>

// Creates a new, empty file in the system's temporary folder whose name starts with "TKP" and
// ends with `suffix` (".HTM"), and returns its path; empty on failure, with the reason in
// `error`. The name is chosen and the file created in one step, so no other process can take
// it in between.
QString CreateTkpTempFile(const QString& suffix, QString* error = nullptr);

// The two files an invoice window shows: the HTML page and the text page. Each rendering
// replaces them; they are deleted at the next rendering and when the object goes.
class CInvoiceTempFiles {
public:
    CInvoiceTempFiles() = default;
    ~CInvoiceTempFiles();
    CInvoiceTempFiles(const CInvoiceTempFiles&) = delete;
    CInvoiceTempFiles& operator=(const CInvoiceTempFiles&) = delete;

    // Deletes the previous pair, makes two new files and writes the pages into them.
    // False on failure, with the reason in `error`; no file of the attempt is left then.
    [[nodiscard]] bool Write(const QByteArray& html, const QByteArray& text,
                             QString* error = nullptr);
    // Deletes both files (nothing when there are none).
    void Remove();

    const QString& HtmlPath() const { return m_htmlPath; }
    const QString& TextPath() const { return m_textPath; }

private:
    QString m_htmlPath;
    QString m_textPath;
};
