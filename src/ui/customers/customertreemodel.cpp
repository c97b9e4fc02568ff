#include "ui/customers/customertreemodel.h"

#include "core/db/dbexception.h"

#include <QApplication>
#include <QStyle>

CCustomerTreeModel::CCustomerTreeModel(QObject* parent) : QAbstractItemModel(parent) {
    m_sections[0] =
        newNode({0, QStringLiteral("Customer Groups"), true, {}}, Kind::Section, nullptr);
    m_sections[1] = newNode({0, QStringLiteral("Customers"), false, {}}, Kind::Section, nullptr);
    m_sections[1]->row = 1;
    m_folderIcon = QApplication::style()->standardIcon(QStyle::SP_DirIcon);
    m_customerIcon = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

CCustomerTreeModel::~CCustomerTreeModel() = default;

CCustomerTreeModel::Node* CCustomerTreeModel::newNode(const MemberEntry& entry, Kind kind,
                                                      Node* parent) {
    Node& n = m_nodes.emplace_back();
    n.entry = entry;
    n.kind = kind;
    n.parent = parent;
    n.fetched = kind != Kind::Group;
    return &n;
}

void CCustomerTreeModel::load(Database& db) {
    beginResetModel();
    // Only the two section headings survive a reload.
    m_nodes.resize(2);
    m_sections[0]->children.clear();
    m_sections[1]->children.clear();
    m_allGroups.clear();
    m_allCustomers.clear();
    m_db = nullptr;
    try {
        const QList<MemberEntry> groups = TreeSectionRows(db, true);
        const QList<MemberEntry> customers = TreeSectionRows(db, false);
        m_db = &db;
        m_allGroups.reserve(groups.size());
        for (const MemberEntry& g : groups)
            m_allGroups.push_back(newNode(g, Kind::Group, m_sections[0]));
        m_allCustomers.reserve(customers.size());
        for (const MemberEntry& c : customers)
            m_allCustomers.push_back(newNode(c, Kind::Customer, m_sections[1]));
    } catch (const DbException&) {
        m_nodes.resize(2);
        m_allGroups.clear();
        m_allCustomers.clear();
        endResetModel();
        throw;
    }
    fillSection(m_sections[0], m_allGroups);
    fillSection(m_sections[1], m_allCustomers);
    endResetModel();
}

void CCustomerTreeModel::fillSection(Node* section, const std::vector<Node*>& rows) {
    section->children.clear();
    for (Node* n : rows) {
        if (!MatchesCustomerSearch(n->entry, m_search))
            continue;
        n->row = int(section->children.size());
        section->children.push_back(n);
    }
}

void CCustomerTreeModel::setSearch(const QString& text) {
    if (text == m_search)
        return;
    beginResetModel();
    m_search = text;
    fillSection(m_sections[0], m_allGroups);
    fillSection(m_sections[1], m_allCustomers);
    endResetModel();
}

void CCustomerTreeModel::setFullName(qint32 id, const QString& fullName) {
    for (Node& n : m_nodes) {
        if (n.kind == Kind::Section || n.entry.id != id)
            continue;
        n.entry.fullName = fullName;
        // Only a node its parent shows at its row is an index of the model now.
        const std::vector<Node*>& siblings = n.parent->children;
        if (size_t(n.row) < siblings.size() && siblings[size_t(n.row)] == &n) {
            const QModelIndex at = createIndex(n.row, 0, &n);
            emit dataChanged(at, at, {Qt::ToolTipRole});
        }
    }
}

int CCustomerTreeModel::shownCustomers() const {
    return int(m_sections[1]->children.size());
}

QModelIndex CCustomerTreeModel::findRow(qint32 id) const {
    for (const Node* section : m_sections)
        for (Node* n : section->children)
            if (n->entry.id == id)
                return createIndex(n->row, 0, n);
    return {};
}

CCustomerTreeModel::Node* CCustomerTreeModel::nodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

CCustomerTreeModel::Kind CCustomerTreeModel::kindAt(const QModelIndex& index) const {
    const Node* n = nodeAt(index);
    return n ? n->kind : Kind::Section;
}

qint32 CCustomerTreeModel::idAt(const QModelIndex& index) const {
    const Node* n = nodeAt(index);
    return n ? n->entry.id : 0;
}

QString CCustomerTreeModel::nameAt(const QModelIndex& index) const {
    const Node* n = nodeAt(index);
    return n && n->kind != Kind::Section ? n->entry.name : QString();
}

QModelIndex CCustomerTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row < 2 ? createIndex(row, 0, m_sections[row]) : QModelIndex();
    const Node* p = nodeAt(parent);
    if (size_t(row) >= p->children.size())
        return {};
    return createIndex(row, 0, p->children[size_t(row)]);
}

QModelIndex CCustomerTreeModel::parent(const QModelIndex& child) const {
    const Node* n = nodeAt(child);
    if (!n || !n->parent)
        return {};
    return createIndex(n->parent->row, 0, n->parent);
}

int CCustomerTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0)
        return 0;
    if (!parent.isValid())
        return 2;
    return int(nodeAt(parent)->children.size());
}

int CCustomerTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant CCustomerTreeModel::data(const QModelIndex& index, int role) const {
    const Node* n = nodeAt(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return n->entry.name;
    case Qt::ToolTipRole:
        return n->entry.fullName.isEmpty() ? QVariant() : QVariant(n->entry.fullName);
    case Qt::DecorationRole:
        return n->kind == Kind::Customer ? m_customerIcon : m_folderIcon;
    case IdRole:
        return n->entry.id;
    default:
        return {};
    }
}

bool CCustomerTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* n = nodeAt(parent);
    if (!n)
        return true;
    // A group that was not opened yet has members (a row is a group only while it has some).
    return !n->fetched || !n->children.empty();
}

bool CCustomerTreeModel::canFetchMore(const QModelIndex& parent) const {
    const Node* n = nodeAt(parent);
    return n && !n->fetched;
}

bool CCustomerTreeModel::onOwnPath(const Node* node) {
    for (const Node* p = node->parent; p && p->kind == Kind::Group; p = p->parent)
        if (p->entry.id == node->entry.id)
            return true;
    return false;
}

void CCustomerTreeModel::fetchMore(const QModelIndex& parent) {
    Node* n = nodeAt(parent);
    if (!n || n->fetched)
        return;
    n->fetched = true;
    // A group met again below itself (a stored cycle) is shown once, without its members.
    if (!m_db || onOwnPath(n))
        return;
    QList<MemberEntry> members;
    try {
        members = GroupMembers(*m_db, n->entry.id);
    } catch (const DbException& e) {
        emit readFailed(QStringLiteral("The members of '%1' could not be read: %2")
                            .arg(n->entry.name, e.message()));
        return;
    }
    if (members.isEmpty())
        return;
    beginInsertRows(parent, 0, int(members.size()) - 1);
    for (const MemberEntry& m : members) {
        Node* child = newNode(m, m.isGroup ? Kind::Group : Kind::Customer, n);
        child->row = int(n->children.size());
        n->children.push_back(child);
    }
    endInsertRows();
}
