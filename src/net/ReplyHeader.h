#pragma once

#include <QByteArray>
#include <QList>

// An HTTP reply's header as this program reads it: the status line and the fields. A line that
// begins with a blank or a tab continues the field before it and is joined to it with one blank,
// and blanks between a field's name and its colon are passed over (RFC 9112 sections 5.1 and 5.2),
// so that a field reads the same however the server wrote it.
class ReplyHeader {
public:
    explicit ReplyHeader(const QByteArray &header = {});

    // The status code of the status line, "HTTP/1.1 200 OK"; -1 when the line has none.
    int Status() const { return StatusOf(m_statusLine); }
    QByteArray StatusLine() const { return m_statusLine; }
    // The values of the fields of that name (any letter case), in their order, trimmed.
    QList<QByteArray> Values(const QByteArray &name) const;
    // The first field's value; empty when there is none.
    QByteArray Value(const QByteArray &name) const { return Values(name).value(0); }
    // The elements of the comma-separated lists that the fields of that name hold, trimmed; empty
    // elements are left out (RFC 9110 section 5.6.1).
    QList<QByteArray> Elements(const QByteArray &name) const;

    // The status code that a reply's text begins with: "HTTP/", a version of one digit, a dot and
    // a digit, one blank and three digits that end the line or a blank follows; -1 otherwise.
    static int StatusOf(const QByteArray &reply);
    // False once the bytes cannot be the beginning of "HTTP/": a reply without a header.
    static bool MayBeginReply(const QByteArray &text);
    // Where a header ends: just past the empty line that closes it, searched from position from.
    // Lines end in LF, with or without a CR before it. -1 while that empty line has not arrived.
    static qsizetype End(const QByteArray &text, qsizetype from);

private:
    QByteArray m_statusLine;
    QList<QByteArray> m_fields; // each field on one line
};
