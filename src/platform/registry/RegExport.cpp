#include "platform/registry/RegExport.h"

#include "support/TextLines.h"

#include <QStringConverter>
#include <QStringList>

#include <algorithm>

namespace platform::registry {

namespace {

const QString Version5Header = QStringLiteral("Windows Registry Editor Version 5.00");
const QString Version4Header = QStringLiteral("REGEDIT4");

// UTF-16 text; an export cut off in the middle of a character loses that half character only.
QString utf16(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    QStringDecoder decoder(encoding);
    return decoder(bytes.first(bytes.size() & ~qsizetype(1)));
}

// Whether the first line of text that is not blank is either header.
bool beginsWithHeader(const QString &text)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        const QString line = text.mid(start, end - start).trimmed();
        if (!line.isEmpty())
            return line == Version5Header || line == Version4Header;
        start = end + 1;
    }
    return false;
}

// Why bytes that do not begin with a header are no export. UTF-16 without its byte-order mark
// shows in the first line already: only that much is decoded again.
QString whyNoExport(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return QStringLiteral("File is empty");
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 1024));
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        if (beginsWithHeader(utf16(encoding, head)))
            return QStringLiteral("UTF-16 without a byte-order mark");
    }
    return QStringLiteral("No registry export header");
}

// A quoted text starting at text[at] == '"', with \\ and \" unescaped (any other backslash is
// kept as it stands). On success at points past the closing quote.
std::optional<QString> readQuoted(const QString &text, qsizetype &at)
{
    QString result;
    for (qsizetype i = at + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            at = i + 1;
            return result;
        }
        if (c == u'\\' && i + 1 < text.size() && (text[i + 1] == u'\\' || text[i + 1] == u'"')) {
            result += text[++i];
            continue;
        }
        result += c;
    }
    return std::nullopt; // the line ends inside the text
}

void skipBlanks(const QString &text, qsizetype &at)
{
    while (at < text.size() && (text[at] == u' ' || text[at] == u'\t'))
        ++at;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The key that the section header line names, when it lies at or below keep; nullptr for
// sections to ignore and broken header lines.
RegistryKey *sectionKey(RegistryKey &root, const QString &trimmed, const QStringList &keep)
{
    const qsizetype close = trimmed.lastIndexOf(u']');
    if (close < 1 || trimmed.startsWith(QStringLiteral("[-")))
        return nullptr;
    // The registry itself nests no deeper: a deeper section is no key of an export.
    const QStringList parts = SplitKeyPath(trimmed.mid(1, close - 1));
    if (parts.size() < keep.size() || parts.size() > MaxKeyDepth)
        return nullptr;
    for (qsizetype i = 0; i < keep.size(); ++i) {
        if (parts[i].compare(keep[i], Qt::CaseInsensitive) != 0)
            return nullptr;
    }
    RegistryKey *key = &root;
    for (const QString &part : parts)
        key = &key->Ensure(part);
    return key;
}

} // namespace

std::optional<QString> DecodeExport(const QByteArray &bytes, QString *reason)
{
    const QByteArrayView view(bytes);
    QString text;
    if (bytes.startsWith("\xFF\xFE"))
        text = utf16(QStringConverter::Utf16LE, view.sliced(2));
    else if (bytes.startsWith("\xFE\xFF"))
        text = utf16(QStringConverter::Utf16BE, view.sliced(2));
    else
        text = support::Utf8OrLatin1Lines(bytes.startsWith("\xEF\xBB\xBF") ? view.sliced(3) : view);
    if (beginsWithHeader(text))
        return text;
    if (reason)
        *reason = whyNoExport(bytes);
    return std::nullopt;
}

RegistryKey ParseExport(const QString &text, const QString &keepBelow)
{
    RegistryKey root;
    const QStringList keep = SplitKeyPath(keepBelow);
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(u'\r', u'\n');
    const QStringList lines = normalised.split(u'\n');

    RegistryKey *current = nullptr;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            current = sectionKey(root, line, keep);
            continue;
        }
        if (!line.startsWith(u'"') && !line.startsWith(u'@'))
            continue; // not an export line

        qsizetype at = 0;
        QString name;
        if (line[0] == u'@') {
            at = 1;
        } else {
            const std::optional<QString> quoted = readQuoted(line, at);
            if (!quoted)
                continue;
            name = *quoted;
        }
        skipBlanks(line, at);
        if (at >= line.size() || line[at] != u'=')
            continue;
        ++at;
        skipBlanks(line, at);
        if (at < line.size() && line[at] == u'"') {
            const std::optional<QString> data = readQuoted(line, at);
            skipBlanks(line, at);
            if (data && at == line.size() && current)
                current->SetValue(name, RegistryValue{REG_SZ, *data});
            continue;
        }
        if (line.mid(at) == u"-") {
            if (current)
                current->RemoveValue(name);
            continue;
        }
        // Another type: its data may go on over lines that end in a backslash.
        QString last = line;
        while (last.endsWith(u'\\') && n + 1 < lines.size()) {
            const QString next = lines[n + 1].trimmed();
            if (next.isEmpty() || !isHexDigit(next[0]))
                break;
            last = next;
            ++n;
        }
    }
    return root;
}

} // namespace platform::registry
