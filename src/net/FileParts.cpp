#include "net/FileParts.h"

#include <QRegularExpression>

#include <optional>
#include <utility>

namespace {

// The numbers of a Content-Range value: first byte, last byte (-1 for "*") and whole length (-1
// for "*"); nullopt when it is no such value, or a number does not fit in 64 bits.
struct Range {
    int64_t first = -1, last = -1, total = -1;
};

std::optional<Range> rangeOf(const QByteArray &contentRange)
{
    static const QRegularExpression form(QStringLiteral(R"(^bytes +(?:([0-9]+)-([0-9]+)|\*)/([0-9]+|\*)$)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(QString::fromLatin1(contentRange));
    if (!match.hasMatch())
        return std::nullopt;
    Range range;
    for (auto [field, number] : {std::pair{1, &range.first}, std::pair{2, &range.last}, std::pair{3, &range.total}}) {
        bool ok = false;
        const QString text = match.captured(field);
        *number = text.isEmpty() || text == u'*' ? -1 : text.toLongLong(&ok);
        if (*number != -1 && !ok)
            return std::nullopt;
    }
    return range;
}

} // namespace

FileParts::Fit FileParts::Part(const QByteArray &contentRange, int64_t length)
{
    const std::optional<Range> range = rangeOf(contentRange);
    if (!range || range->first < 0 || range->last < range->first || (range->total >= 0 && range->last >= range->total) ||
        Contradicts(range->total))
        return Fit::Breaks;
    if (range->first != length)
        return Fit::Elsewhere;
    if (range->total >= 0)
        m_total = range->total;
    m_partLength = range->last - range->first + 1;
    return Fit::Fits;
}

FileParts::Fit FileParts::Unsatisfiable(const QByteArray &contentRange, int64_t length) const
{
    const std::optional<Range> range = rangeOf(contentRange);
    const int64_t total = range && range->first < 0 ? range->total : -1;
    if (total >= 0 && Contradicts(total))
        return Fit::Breaks;
    return total >= 0 && total == length ? Fit::Fits : Fit::Elsewhere;
}
