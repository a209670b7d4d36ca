#include "analysis/KeyedTreeModel.h"

#include "support/TextHash.h"

#include <algorithm>

namespace {
size_t childHash(int parent, QStringView text)
{
    return support::TextHash()(text) ^ (size_t(parent) * 0x9E3779B97F4A7C15ULL);
}
// A node with more children than this has them in the index.
constexpr size_t FewChildren = 16;
} // namespace

KeyedTreeModel::Bulk::Bulk(KeyedTreeModel &model) : m_model(model)
{
    if (m_model.m_bulk++ == 0)
        m_model.beginResetModel();
}

KeyedTreeModel::Bulk::~Bulk()
{
    if (--m_model.m_bulk == 0)
        m_model.endResetModel();
}

KeyedTreeModel::KeyedTreeModel(QObject *parent) : QAbstractItemModel(parent) {}

int KeyedTreeModel::Child(int parent, QStringView text) const
{
    const std::vector<int> &children = ChildrenOf(parent);
    // Paths mostly come in order, so the child sought is mostly the one added last.
    if (children.empty())
        return 0;
    if (At(children.back()).text == text)
        return children.back();
    if (children.size() > FewChildren)
        return m_index[SlotOf(parent, text, childHash(parent, text))].node;
    for (int child : children)
        if (At(child).text == text)
            return child;
    return 0;
}

size_t KeyedTreeModel::SlotOf(int parent, QStringView text, size_t hash) const
{
    const size_t mask = m_index.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot &entry = m_index[slot];
        if (entry.node == 0)
            return slot;
        if (entry.hash != uint32_t(hash >> 32))
            continue;
        const Node &candidate = At(entry.node);
        if (candidate.parent == parent && candidate.text == text)
            return slot;
    }
}

// Puts node into the index, which grows to at least twice the nodes it holds.
void KeyedTreeModel::Index(int node)
{
    Node &added = m_nodes[size_t(node - 1)];
    added.hash = childHash(added.parent, added.text);
    if (2 * ++m_indexed > m_index.size()) {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_index.size())); // a power of 2
        old.swap(m_index);
        for (const Slot &entry : old)
            if (entry.node != 0)
                m_index[SlotOf(At(entry.node).parent, At(entry.node).text, At(entry.node).hash)] = entry;
    }
    m_index[SlotOf(added.parent, added.text, added.hash)] = {node, uint32_t(added.hash >> 32)};
}

int KeyedTreeModel::Make(int parent, QStringView text, int image, bool &made)
{
    made = false;
    if (const int found = Child(parent, text))
        return found;
    made = true;
    const int number = Count() + 1;
    const int row = int(ChildrenOf(parent).size());
    if (m_bulk == 0)
        beginInsertRows(IndexOf(parent), row, row);
    Node node;
    node.text = text.toString();
    node.image = image;
    node.parent = parent;
    node.row = row;
    m_nodes.push_back(std::move(node));
    std::vector<int> &siblings = parent == 0 ? m_top : m_nodes[size_t(parent - 1)].children;
    siblings.push_back(number);
    // A node that comes to have many children has them all indexed from then on.
    if (siblings.size() == FewChildren + 1) {
        for (int sibling : siblings)
            Index(sibling);
    } else if (siblings.size() > FewChildren) {
        Index(number);
    }
    if (m_bulk == 0)
        endInsertRows();
    return number;
}

// A key is a top-level node's text and "/", then the text of each node down and "/": the key is
// walked down from each top-level node whose text begins it (a text may hold "/" itself).
int KeyedTreeModel::Find(const QString &key) const
{
    for (int top : m_top) {
        const QString &text = At(top).text;
        if (!key.startsWith(text) || key.mid(text.size(), 1) != u"/")
            continue;
        int node = top;
        QStringView rest = QStringView(key).mid(text.size() + 1);
        while (node != 0 && !rest.isEmpty()) {
            const qsizetype end = rest.indexOf(u'/');
            if (end < 0)
                return 0;
            node = Child(node, rest.left(end));
            rest = rest.mid(end + 1);
        }
        if (node != 0)
            return node;
    }
    return 0;
}

QString KeyedTreeModel::Key(int node) const
{
    QString key;
    for (int n = node; n != 0; n = At(n).parent)
        key.prepend(At(n).text + u'/');
    return key;
}

void KeyedTreeModel::Clear()
{
    if (m_bulk == 0)
        beginResetModel();
    m_nodes.clear();
    m_top.clear();
    m_index.clear();
    m_indexed = 0;
    if (m_bulk == 0)
        endResetModel();
}

void KeyedTreeModel::Reserve(qsizetype count) { m_nodes.reserve(m_nodes.size() + size_t(count)); }

QModelIndex KeyedTreeModel::IndexOf(int node) const
{
    return node == 0 ? QModelIndex() : createIndex(At(node).row, 0, quintptr(node));
}

QModelIndex KeyedTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const std::vector<int> &children = ChildrenOf(NodeOf(parent));
    if (column != 0 || row < 0 || size_t(row) >= children.size())
        return {};
    return createIndex(row, 0, quintptr(children[size_t(row)]));
}

QModelIndex KeyedTreeModel::parent(const QModelIndex &child) const
{
    const int node = NodeOf(child);
    return node == 0 ? QModelIndex() : IndexOf(At(node).parent);
}

int KeyedTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(ChildrenOf(NodeOf(parent)).size());
}

int KeyedTreeModel::columnCount(const QModelIndex &) const { return 1; }

QVariant KeyedTreeModel::data(const QModelIndex &index, int role) const
{
    const int node = NodeOf(index);
    if (node == 0)
        return {};
    if (role == Qt::DisplayRole)
        return At(node).text;
    if (role == Qt::DecorationRole && m_images)
        return m_images(At(node).image);
    return {};
}
