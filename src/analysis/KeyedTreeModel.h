#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

// The nodes of a directory tree, as the model of a tree view. Every node carries a unique key,
// and a node is found by its key through an index, so adding one more path costs the same in a
// tree of ten nodes as in one of a million. Nodes are numbered from 1 in the order they were
// added (node 1 is the first root); children are listed in the order they were first added.
class KeyedTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    struct Node {
        QString key;
        QString text;
        int image = 0;
        int tag = 0;    // 0: no tag
        int parent = 0; // 0: a top-level node
        int row = 0;    // position among its parent's children
        std::vector<int> children;
    };

    // Adds the nodes of a whole build with one reset of the attached views instead of one
    // notification per node; the views see the result when the object goes.
    class Bulk {
    public:
        explicit Bulk(KeyedTreeModel &model);
        ~Bulk();
        Bulk(const Bulk &) = delete;
        Bulk &operator=(const Bulk &) = delete;

    private:
        KeyedTreeModel &m_model;
    };

    explicit KeyedTreeModel(QObject *parent = nullptr);

    int Count() const { return int(m_nodes.size()); }
    // The number of the node with exactly that key (letter case counts), 0 when there is none.
    int Find(const QString &key) const { return m_index.value(key, 0); }
    // Adds a node below node parent (0: at the top level); returns its number.
    int Add(int parent, const QString &key, const QString &text, int image);
    void Clear();
    // Makes room for about count more nodes.
    void Reserve(qsizetype count);
    const Node &At(int node) const { return m_nodes[size_t(node - 1)]; }
    void SetTag(int node, int tag) { m_nodes[size_t(node - 1)].tag = tag; }

    // The pictures shown for the image numbers (a QIcon in a QVariant, say); none by default.
    void SetImageList(std::function<QVariant(int image)> images) { m_images = std::move(images); }

    QModelIndex IndexOf(int node) const;
    int NodeOf(const QModelIndex &index) const { return index.isValid() ? int(index.internalId()) : 0; }

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    const std::vector<int> &ChildrenOf(int node) const { return node == 0 ? m_top : At(node).children; }

    std::vector<Node> m_nodes;
    std::vector<int> m_top;
    QHash<QString, int> m_index;
    std::function<QVariant(int)> m_images;
    int m_bulk = 0;
};
