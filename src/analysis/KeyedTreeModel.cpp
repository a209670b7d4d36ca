#include "analysis/KeyedTreeModel.h"

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

int KeyedTreeModel::Add(int parent, const QString &key, const QString &text, int image)
{
    const int number = Count() + 1;
    const int row = int(ChildrenOf(parent).size());
    if (m_bulk == 0)
        beginInsertRows(IndexOf(parent), row, row);
    Node node;
    node.key = key;
    node.text = text;
    node.image = image;
    node.parent = parent;
    node.row = row;
    m_nodes.push_back(std::move(node));
    (parent == 0 ? m_top : m_nodes[size_t(parent - 1)].children).push_back(number);
    m_index.insert(key, number);
    if (m_bulk == 0)
        endInsertRows();
    return number;
}

void KeyedTreeModel::Clear()
{
    if (m_bulk == 0)
        beginResetModel();
    m_nodes.clear();
    m_top.clear();
    m_index.clear();
    if (m_bulk == 0)
        endResetModel();
}

void KeyedTreeModel::Reserve(qsizetype count)
{
    m_nodes.reserve(m_nodes.size() + size_t(count));
    m_index.reserve(m_index.size() + count);
}

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
