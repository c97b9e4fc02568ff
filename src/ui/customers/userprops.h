#pragma once
#include <QList>
#include <QWidget>

class Database;
class CUserPage;
class QPushButton;
class QTabWidget;

// The customer property sheet beside the customer browser: the pages General, Addresses,
// Credit Card, Phones, Charges, Billing, and Group while the row shown is a group. It follows
// the browser's selection; edits stay on screen until applied or discarded.
class CUserProps : public QWidget {
    Q_OBJECT
public:
    explicit CUserProps(QWidget* parent = nullptr);

    qint32 shownId() const { return m_id; }
    // Shows row `id` (0: nothing, every page empty). The Group page is added for a group and
    // removed otherwise, the active page staying active when it remains. Pending edits are
    // dropped: the caller asks first. False (after the message) when the row could not be read.
    bool select(Database* db, qint32 id);
    // Reads the shown row again, dropping pending edits.
    bool reload();
    bool isModified() const;
    // Applies every edited page; false at the first page refused (that page is made active).
    bool applyAll();

    QTabWidget* tabs() const { return m_tabs; }
    CUserPage* page(const QString& title) const;

signals:
    // After a successful apply (names and plans shown elsewhere may have changed).
    void applied(qint32 id);

private:
    void updateButtons();
    bool load();

    Database* m_db = nullptr;
    qint32 m_id = 0;
    QTabWidget* m_tabs;
    QList<CUserPage*> m_pages; // in sheet order, the Group page last
    CUserPage* m_groupPage;
    QPushButton* m_apply;
    QPushButton* m_discard;
};
