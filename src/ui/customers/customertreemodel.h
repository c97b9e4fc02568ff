#pragma once
#include "core/customers/customergroups.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <deque>
#include <vector>

class Database;

// The customer browser's tree: the sections "Customer Groups" (every group; under each its
// member groups, then its member customers) and "Customers" (every customer), each by name.
// The two sections are read at once; a group's members only when its node is first opened,
// so a database of many customers opens without reading every membership. A search narrows
// both sections to the rows whose logon or full name contains the text.
class CCustomerTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum class Kind { Section, Group, Customer };
    enum Role { IdRole = Qt::UserRole + 1 };

    explicit CCustomerTreeModel(QObject* parent = nullptr);
    ~CCustomerTreeModel() override;

    // Reads both sections from `db`, which must stay open while the model shows it (member
    // lists are read from it later). Throws DbException; the model is then empty.
    void load(Database& db);
    // Narrows both sections (an empty text shows every row).
    void setSearch(const QString& text);
    const QString& search() const { return m_search; }
    // A row's full name changed (the search and the tool tips read it).
    void setFullName(qint32 id, const QString& fullName);
    // Customers shown in the "Customers" section.
    int shownCustomers() const;

    QModelIndex groupsSection() const { return createIndex(0, 0, m_sections[0]); }
    QModelIndex customersSection() const { return createIndex(1, 0, m_sections[1]); }
    // The row of `id` directly under its section; invalid when it is not shown.
    QModelIndex findRow(qint32 id) const;
    Kind kindAt(const QModelIndex& index) const;
    // The Users.Id of a group or customer node; 0 for a section heading or nothing.
    qint32 idAt(const QModelIndex& index) const;
    QString nameAt(const QModelIndex& index) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

signals:
    // A group's members could not be read (the engine's words); the node shows none.
    void readFailed(const QString& message);

private:
    struct Node {
        MemberEntry entry;
        Kind kind = Kind::Customer;
        Node* parent = nullptr;
        int row = 0;
        bool fetched = false;
        std::vector<Node*> children;
    };
    Node* newNode(const MemberEntry& entry, Kind kind, Node* parent);
    Node* nodeAt(const QModelIndex& index) const;
    // Fills a section's children from its rows that match the search.
    void fillSection(Node* section, const std::vector<Node*>& rows);
    // True when a group of this id is an ancestor of `node` (a cycle stored in the database).
    static bool onOwnPath(const Node* node);

    Database* m_db = nullptr;
    std::deque<Node> m_nodes; // every node; addresses stay put while the deque grows
    Node* m_sections[2] = {};
    std::vector<Node*> m_allGroups;
    std::vector<Node*> m_allCustomers;
    QString m_search;
    QIcon m_folderIcon;
    QIcon m_customerIcon;
};
