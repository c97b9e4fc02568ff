#pragma once
#include <QDialog>

class QPushButton;

// "Welcome to Tollkeeper!": shown on the first run and after an upgrade from an early layout.
// Offers help on the sample database and on using the program, and opens the sample database.
class CWelcomeDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWelcomeDlg(QWidget* parent = nullptr);

    QPushButton* sampleHelpButton() const { return m_sampleHelp; }
    QPushButton* usingHelpButton() const { return m_usingHelp; }
    QPushButton* openSampleButton() const { return m_openSample; }
    QPushButton* okButton() const { return m_ok; }

    static QString welcomeText();

signals:
    // "&Open sample database" was pressed.
    void openSampleRequested();

private:
    void showHelpTopic(const QString& topic);

    QPushButton* m_sampleHelp;
    QPushButton* m_usingHelp;
    QPushButton* m_openSample;
    QPushButton* m_ok;
};
