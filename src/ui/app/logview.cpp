#include "ui/app/logview.h"

#include "core/app/operationlog.h"
#include "ui/app/logdoc.h"

#include <QHeaderView>
#include <QStyle>

namespace {

constexpr int kDateRole = Qt::UserRole;

// A row of the log; compares by the column the list is sorted on.
class CLogItem : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;

    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column == CLogView::ColDate) {
            // Lines whose date does not parse sort before all others.
            const QDateTime a = data(column, kDateRole).toDateTime();
            const QDateTime b = other.data(column, kDateRole).toDateTime();
            if (a.isValid() != b.isValid())
                return !a.isValid();
            if (a != b)
                return a < b;
            return text(column) < other.text(column);
        }
        return text(column).compare(other.text(column), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

CLogView::CLogView(CLogDoc* doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("LogView"));
    const QStringList titles{QStringLiteral("Date"), QStringLiteral("Name"), QStringLiteral("Type"),
                             QStringLiteral("Message")};
    setColumnCount(ColumnCount);
    setHeaderLabels(titles);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // sorted on header clicks only, so new lines stay at the bottom

    QHeaderView* head = header();
    head->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    head->setSectionsClickable(true);
    head->setStretchLastSection(false);
    head->setSortIndicatorShown(false);
    const QFontMetrics fm(head->font());
    const int margin = 2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, head);
    for (int i = 0; i < ColumnCount; ++i)
        head->resizeSection(i, fm.horizontalAdvance(titles[i] + QStringLiteral("    ")) + margin);
    connect(head, &QHeaderView::sectionClicked, this, &CLogView::sortByColumnClick);

    if (m_doc)
        connect(m_doc, &CLogDoc::updateViews, this, &CLogView::onUpdate);
}

QTreeWidgetItem* CLogView::makeItem(const QString& line) const {
    const LogLineFields f = ParseLogLine(line);
    auto* item = new CLogItem;
    item->setText(ColDate, f.dateTime.isValid() ? LogDateText(f.dateTime) : f.dateText);
    item->setData(ColDate, kDateRole, f.dateTime);
    item->setText(ColName, f.name);
    item->setText(ColType, f.severity);
    item->setText(ColMessage, f.message);
    return item;
}

void CLogView::loadAll() {
    clear();
    if (!m_doc)
        return;
    QList<QTreeWidgetItem*> items;
    for (const QString& line : m_doc->allLines())
        items.append(makeItem(line));
    addTopLevelItems(items);
    if (topLevelItemCount() > 0)
        scrollToItem(topLevelItem(topLevelItemCount() - 1));
}

void CLogView::addLine(const QString& line) {
    QTreeWidgetItem* item = makeItem(line);
    addTopLevelItem(item);
    scrollToItem(item);
}

void CLogView::onUpdate(int hint, const QString& line) {
    if (hint == CLogDoc::HintClear)
        clear();
    else if (hint == CLogDoc::HintLineAdded)
        addLine(line);
}

void CLogView::sortByColumnClick(int column) {
    if (column < 0 || column >= ColumnCount)
        return;
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortOrder = Qt::AscendingOrder;
    m_sortColumn = column;
    sortItems(column, m_sortOrder);
}
