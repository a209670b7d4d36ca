#include "net/ReplyHeader.h"

#include <QRegularExpression>

namespace {

bool continues(const QByteArray &line) { return line.startsWith(' ') || line.startsWith('\t'); }

} // namespace

ReplyHeader::ReplyHeader(const QByteArray &header)
{
    QList<QByteArray> lines = header.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    m_statusLine = lines.value(0);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        // A continuation before the first field belongs to no field and is dropped.
        if (continues(lines[i]) && !m_fields.isEmpty())
            m_fields.last() += ' ' + lines[i].trimmed();
        else if (!continues(lines[i]) && !lines[i].isEmpty())
            m_fields << lines[i];
    }
}

QList<QByteArray> ReplyHeader::Values(const QByteArray &name) const
{
    QList<QByteArray> values;
    for (const QByteArray &field : m_fields) {
        const qsizetype colon = field.indexOf(':');
        if (colon > 0 && field.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            values << field.mid(colon + 1).trimmed();
    }
    return values;
}

QList<QByteArray> ReplyHeader::Elements(const QByteArray &name) const
{
    QList<QByteArray> elements;
    for (const QByteArray &value : Values(name)) {
        for (const QByteArray &element : value.split(',')) {
            if (!element.trimmed().isEmpty())
                elements << element.trimmed();
        }
    }
    return elements;
}

int ReplyHeader::StatusOf(const QByteArray &reply)
{
    static const QRegularExpression statusLine(QStringLiteral(R"(^HTTP/[0-9]\.[0-9] ([0-9]{3})(?:[ \r\n]|$))"));
    const QRegularExpressionMatch match = statusLine.match(QString::fromLatin1(reply.left(16)));
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

bool ReplyHeader::MayBeginReply(const QByteArray &text) { return QByteArray("HTTP/").startsWith(text.left(5)); }

qsizetype ReplyHeader::End(const QByteArray &text, qsizetype from)
{
    for (qsizetype lf = text.indexOf('\n', from); lf >= 0; lf = text.indexOf('\n', lf + 1)) {
        const qsizetype next = lf + 1 + (text.mid(lf + 1, 1) == "\r");
        if (text.mid(next, 1) == "\n")
            return next + 1;
    }
    return -1;
}
