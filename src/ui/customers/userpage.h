#pragma once
#include "core/customers/editresult.h"

#include <QWidget>

class Database;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;

// One page of the customer property sheet. It shows the fields of one Users row (and the rows
// that hang off it), keeps a modified flag set by any edit and cleared by a load or a
// successful apply, and writes only its own fields back.
class CUserPage : public QWidget {
    Q_OBJECT
public:
    explicit CUserPage(const QString& title, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    bool isModified() const { return m_modified; }

    // Shows row `id` (0 or a missing row: empty fields). Throws DbException.
    void load(Database& db, qint32 id);
    // Checks and writes the page's edits to row `id`; false after the message was shown, with
    // the focus on the field at fault and the edited values still on screen.
    bool apply(Database& db, qint32 id);

signals:
    void modifiedChanged(bool modified);

protected:
    virtual void loadFields(Database& db, qint32 id) = 0;
    virtual EditResult saveFields(Database& db, qint32 id) = 0;
    // The field a failed save is about (its focus goes there); null for none.
    virtual QWidget* fieldAtFault(const EditResult&) { return nullptr; }

    void setModified(bool modified);
    bool loading() const { return m_loading; }
    // Any edit of these sets the modified flag (not while loading).
    void watch(QLineEdit* edit);
    void watch(QCheckBox* box);
    void watch(QComboBox* box);
    void watch(QPlainTextEdit* edit);
    void watch(QSpinBox* box);

    // Saves the edits kept per key (a type, a charge) one after another with `save`; a saved
    // edit is dropped, so that after a failure only those not yet saved are kept.
    template <class Map, class Save> static EditResult savePending(Map& edits, Save save) {
        for (auto it = edits.begin(); it != edits.end();) {
            const EditResult r = save(it.key(), it.value());
            if (!r.ok())
                return r;
            it = edits.erase(it);
        }
        return {};
    }

private:
    QString m_title;
    bool m_modified = false;
    bool m_loading = false;
};
