#include "platform/listview/ListItems.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>

namespace platform::listview {

namespace {

// Appends text to keys in the form the sort compares: case-folded, as UTF-8, whose bytes compare
// in the order of the characters, so that one comparison is a plain memory comparison.
void appendSortKey(const QString &text, std::string &keys)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t code = text[i].unicode();
        if (code < 0x80) {
            keys.push_back(char(code >= 'A' && code <= 'Z' ? code + 32 : code));
            continue;
        }
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            code = QChar::surrogateToUcs4(char16_t(code), text[++i].unicode());
        code = QChar::toCaseFolded(code);
        if (code < 0x800) {
            keys.push_back(char(0xC0 | (code >> 6)));
        } else if (code < 0x10000) {
            keys.push_back(char(0xE0 | (code >> 12)));
            keys.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        } else {
            keys.push_back(char(0xF0 | (code >> 18)));
            keys.push_back(char(0x80 | ((code >> 12) & 0x3F)));
            keys.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        }
        keys.push_back(char(0x80 | (code & 0x3F)));
    }
}

} // namespace

ListItems::ListItems(QStringList columnHeaders, QObject *parent)
    : QAbstractTableModel(parent), m_headers(std::move(columnHeaders))
{
}

void ListItems::Fill(int count, Texts texts)
{
    beginResetModel();
    m_texts = std::move(texts);
    m_order.resize(size_t(count));
    std::iota(m_order.begin(), m_order.end(), 0);
    Sort(false);
    endResetModel();
}

QStringList ListItems::Item(int index) const
{
    QStringList texts;
    for (int column = 0; column < m_headers.size(); ++column)
        texts << Text(index, column);
    return texts;
}

void ListItems::setSortKey(int column)
{
    if (column == m_sortKey)
        return;
    m_sortKey = column;
    Sort(true);
}

void ListItems::setSortOrder(int order)
{
    if (order == m_sortOrder)
        return;
    m_sortOrder = order;
    Sort(true);
}

std::vector<int> ListItems::SortedOrder() const
{
    // Every row's text folded once into one buffer, in the order the rows were given, so that
    // the comparisons touch little memory. The first eight bytes of each also go into its key as
    // one number, which decides most comparisons without reading the buffer.
    struct Key {
        uint64_t head;
        size_t start;
        size_t length;
        int row;
    };
    std::string folded;
    folded.reserve(m_order.size() * 16);
    std::vector<Key> keyOfRow;
    keyOfRow.reserve(m_order.size());
    for (size_t row = 0; row < m_order.size(); ++row) {
        const size_t start = folded.size();
        appendSortKey(m_texts(int(row), m_sortKey), folded);
        uint64_t head = 0;
        for (size_t i = 0; i < 8; ++i)
            head = head << 8 | (start + i < folded.size() ? uint8_t(folded[start + i]) : 0);
        keyOfRow.push_back({head, start, folded.size() - start, int(row)});
    }
    // Starting from the order shown, so that rows with equal texts keep it.
    std::vector<Key> keys;
    keys.reserve(m_order.size());
    for (int row : m_order)
        keys.push_back(keyOfRow[size_t(row)]);
    const auto less = [&folded](const Key &a, const Key &b) {
        if (a.head != b.head)
            return a.head < b.head;
        const std::string_view texts(folded);
        return texts.substr(a.start, a.length) < texts.substr(b.start, b.length);
    };
    const bool descending = m_sortOrder == lvwDescending;
    const auto before = [&](const Key &a, const Key &b) { return descending ? less(b, a) : less(a, b); };
    // Rows mostly come in the order of the first column already (the scan writes them so).
    if (!std::is_sorted(keys.begin(), keys.end(), before))
        std::stable_sort(keys.begin(), keys.end(), before);
    std::vector<int> order;
    order.reserve(keys.size());
    for (const Key &key : keys)
        order.push_back(key.row);
    return order;
}

void ListItems::Sort(bool notify)
{
    std::vector<int> order = SortedOrder();
    if (!notify) {
        m_order = std::move(order);
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> shownAt(m_order.size());
    for (size_t i = 0; i < order.size(); ++i)
        shownAt[size_t(order[i])] = int(i);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex &index : before)
        after << this->index(shownAt[size_t(m_order[size_t(index.row())])], index.column());
    m_order = std::move(order);
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ListItems::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : Count(); }

int ListItems::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_headers.size()); }

QVariant ListItems::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= Count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return Text(index.row(), index.column());
    if (role == Qt::DecorationRole && index.column() == 0)
        return m_image;
    return {};
}

QVariant ListItems::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return {};
}

} // namespace platform::listview
