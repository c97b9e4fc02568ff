#pragma once
#include "core/reports/icvexport.h"

#include <QDialog>

class QLineEdit;
class QRadioButton;

// "Export for ICVerify": the period, the comment, clerk, postal code and address of the card
// batch, and the folder it is written to, all remembered from the last export.
class CIcvExportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CIcvExportDlg(QWidget* parent = nullptr);

    // Valid after the dialog was accepted.
    const IcvExportOptions& options() const { return m_options; }
    // The file to write: ICVERIFY.TXT in the chosen folder.
    QString filePath() const;

    void accept() override;

private:
    QLineEdit* addEdit(class QFormLayout* form, const QString& label, const char* name,
                       const QString& text, int maxLength);

    QLineEdit* m_start;
    QLineEdit* m_end;
    QRadioButton* m_useLogon;
    QRadioButton* m_useText;
    QLineEdit* m_comment;
    QLineEdit* m_clerk;
    QLineEdit* m_zip;
    QLineEdit* m_address;
    QLineEdit* m_folder;
    IcvExportOptions m_options;
};

// The menu command: runs the dialog, then the export with the wait cursor, and shows how it
// ended.
void RunIcvExport(QWidget* parent);
