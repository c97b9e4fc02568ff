#pragma once
#include <QTreeWidget>

class CLogDoc;

// The operation log as a list: columns "Date", "Name", "Type", "Message". A header click sorts
// by that column (dates chronologically, texts without regard to case); a further click on the
// same header reverses the order. Added lines go to the bottom and are scrolled into view.
class CLogView : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { ColDate = 0, ColName, ColType, ColMessage, ColumnCount };

    explicit CLogView(CLogDoc* doc, QWidget* parent = nullptr);

    CLogDoc* document() const { return m_doc; }
    // Fills the list from the whole file and shows its last row.
    void loadAll();
    // Appends one log line as a row and scrolls it into view.
    void addLine(const QString& line);
    // Sorts as a header click does.
    void sortByColumnClick(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

private:
    void onUpdate(int hint, const QString& line);
    QTreeWidgetItem* makeItem(const QString& line) const;

    CLogDoc* m_doc;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
