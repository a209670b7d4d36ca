#pragma once

#include <QAbstractItemModel>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <vector>

// The nodes of a directory tree, as the model of a tree view. Every node carries a unique key: a
// top-level node's key is its text and "/", any other node's the key of its parent, its text and
// "/". A node is found as the child of its parent by its text, so adding one more path costs the
// same in a tree of ten nodes as in one of a million; the keys themselves are put together only
// when asked for. Nodes are numbered from 1 in the order they were added (node 1 is the first
// top-level node); children are listed in the order they were first added.
class KeyedTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    struct Node {
        QString text;
        int image = 0;
        int tag = 0;    // 0: no tag
        int parent = 0; // 0: a top-level node
        int row = 0;    // position among its parent's children
        std::vector<int> children;
        size_t hash = 0; // of the parent and the text, once the node is in the index
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
    int Find(const QString &key) const;
    // The child of node parent (0: the top level) with exactly that text, 0 when there is none.
    int Child(int parent, QStringView text) const;
    // The child of node parent (0: the top level) with exactly that text; when there is none it
    // is added with image, and made is set.
    int Make(int parent, QStringView text, int image, bool &made);
    void Clear();
    // Makes room for about count more nodes.
    void Reserve(qsizetype count);
    const Node &At(int node) const { return m_nodes[size_t(node - 1)]; }
    QString Key(int node) const;
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
    // Open addressing, never more than half full: node numbers (0 for an empty slot), each with
    // part of its hash, so that a search touches no node but the one it finds.
    struct Slot {
        int node = 0;
        uint32_t hash = 0;
    };

    const std::vector<int> &ChildrenOf(int node) const { return node == 0 ? m_top : At(node).children; }
    // The slot that holds the child of parent with text, or the empty slot where it would go.
    size_t SlotOf(int parent, QStringView text, size_t hash) const;
    void Index(int node);

    std::vector<Node> m_nodes;
    std::vector<int> m_top;
    // Only the children of nodes with many children are in the index; the few children of any
    // other node are looked through, which touches less memory.
    std::vector<Slot> m_index;
    size_t m_indexed = 0;
    std::function<QVariant(int)> m_images;
    int m_bulk = 0;
};
