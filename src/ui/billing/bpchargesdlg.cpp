#include "ui/billing/bpchargesdlg.h"

#include "core/app/dbsession.h"
#include "core/app/userinterface.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
} // namespace

CBPChargesDlg::CBPChargesDlg(const PlanChargeAssignment& assignment, QWidget* parent)
    : QDialog(parent), m_assign(assignment) {
    setObjectName(QStringLiteral("BPChargesDlg"));
    setWindowTitle(m_assign.title());
    m_available = new QListWidget(this);
    m_available->setObjectName(QStringLiteral("AvailableList"));
    m_assigned = new QListWidget(this);
    m_assigned->setObjectName(QStringLiteral("AssignedList"));
    QPushButton* add = button(this, "AddButton", QStringLiteral("&Add >>"));
    QPushButton* remove = button(this, "RemoveButton", QStringLiteral("<< &Remove"));
    QPushButton* up = button(this, "UpButton", QStringLiteral("&Up"));
    QPushButton* down = button(this, "DownButton", QStringLiteral("&Down"));
    connect(add, &QPushButton::clicked, this, &CBPChargesDlg::addSelected);
    connect(remove, &QPushButton::clicked, this, &CBPChargesDlg::removeSelected);
    connect(up, &QPushButton::clicked, this, &CBPChargesDlg::moveUp);
    connect(down, &QPushButton::clicked, this, &CBPChargesDlg::moveDown);
    connect(m_available, &QListWidget::itemDoubleClicked, this, &CBPChargesDlg::addSelected);
    connect(m_assigned, &QListWidget::itemDoubleClicked, this, &CBPChargesDlg::removeSelected);

    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* b : {add, remove, up, down})
        middle->addWidget(b);
    middle->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Available charges:"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Charges in the plan, by priority:"), this), 0, 2);
    grid->addWidget(m_available, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_assigned, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    fill(0);
}

void CBPChargesDlg::fill(qint32 current) {
    const auto fillList = [current](QListWidget* list, const QList<TemplateEntry>& entries) {
        list->clear();
        for (const TemplateEntry& e : entries) {
            auto* item = new QListWidgetItem(e.name, list);
            item->setData(Qt::UserRole, e.id);
            if (e.id == current)
                list->setCurrentItem(item);
        }
    };
    fillList(m_available, m_assign.available);
    fillList(m_assigned, m_assign.assigned);
}

qint32 CBPChargesDlg::selectedId(QListWidget* list) const {
    const QListWidgetItem* item = list->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : 0;
}

void CBPChargesDlg::addSelected() {
    const qint32 id = selectedId(m_available);
    if (id && m_assign.add(id))
        fill(id);
}

void CBPChargesDlg::removeSelected() {
    const qint32 id = selectedId(m_assigned);
    if (id && m_assign.remove(id))
        fill(id);
}

void CBPChargesDlg::moveUp() {
    const qint32 id = selectedId(m_assigned);
    if (id && m_assign.moveUp(m_assigned->currentRow()))
        fill(id);
}

void CBPChargesDlg::moveDown() {
    const qint32 id = selectedId(m_assigned);
    if (id && m_assign.moveDown(m_assigned->currentRow()))
        fill(id);
}

void CBPChargesDlg::accept() {
    Database* db = theDatabase();
    const EditResult r =
        db ? m_assign.save(*db) : EditResult::failed(QStringLiteral("No database is open."));
    if (!r.ok()) {
        ui().showMessage(r.text(), MessageIcon::Exclamation);
        return;
    }
    QDialog::accept();
}
