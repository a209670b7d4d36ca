#include "platform/ini/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

#include <optional>

namespace platform::ini {

namespace {

struct Document {
    QStringList lines; // without line ends
    QString lineEnd = QStringLiteral("\n");
    bool bom = false;
};

std::optional<Document> load(const QString &file)
{
    QFile in(file);
    if (!in.exists())
        return Document{};
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = in.readAll();
    Document doc;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.bom = true;
        bytes.remove(0, 3);
    }
    if (bytes.contains("\r\n"))
        doc.lineEnd = QStringLiteral("\r\n");
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    doc.lines = text.split(u'\n');
    if (!doc.lines.isEmpty() && doc.lines.last().isEmpty())
        doc.lines.removeLast(); // the final line end
    return doc;
}

bool save(const Document &doc, const QString &file)
{
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes = doc.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const QString &line : doc.lines)
        bytes += (line + doc.lineEnd).toUtf8();
    out.write(bytes);
    return out.commit();
}

bool isComment(const QString &trimmed) { return trimmed.startsWith(u';') || trimmed.startsWith(u'#'); }

// The section name of a "[name]" line, or nothing for any other line.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'[') || !trimmed.contains(u']'))
        return std::nullopt;
    return trimmed.mid(1, trimmed.indexOf(u']') - 1).trimmed();
}

// The key name of a "key=value" line, or nothing for comments, blank lines and lines without "=".
std::optional<QString> keyName(const QString &line)
{
    const QString trimmed = line.trimmed();
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq < 0 || isComment(trimmed))
        return std::nullopt;
    return trimmed.left(eq).trimmed();
}

QString valueOf(const QString &line)
{
    QString value = line.mid(line.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return value;
}

// Where a section's lines are: the header's index (-1 when missing) and the index just past its
// last key line, where a new key goes.
struct SectionSpan {
    qsizetype header = -1;
    qsizetype insertAt = -1;
};

SectionSpan findSection(const QStringList &lines, const QString &section, Qt::CaseSensitivity cs)
{
    SectionSpan span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines.at(i))) {
            if (span.header >= 0)
                break;
            if (name->compare(section, cs) == 0)
                span.header = span.insertAt = i + 1;
        } else if (span.header >= 0 && keyName(lines.at(i))) {
            span.insertAt = i + 1;
        }
    }
    return span;
}

// Index of key's line inside the section that starts after line header, or -1.
qsizetype findKey(const QStringList &lines, qsizetype header, const QString &key, Qt::CaseSensitivity cs)
{
    for (qsizetype i = header; i < lines.size() && !sectionName(lines.at(i)); ++i) {
        const auto name = keyName(lines.at(i));
        if (name && name->compare(key, cs) == 0)
            return i;
    }
    return -1;
}

// A line break would end the line early and let the rest pose as further keys.
bool hasLineBreak(const QString &text) { return text.contains(u'\n') || text.contains(u'\r'); }

// Reading trims blanks around a value and takes off one pair of double quotes: a value that
// would lose something that way is written in quotes.
QString storedForm(const QString &value)
{
    const bool outerBlanks = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool quoted = value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"');
    return outerBlanks || quoted ? u'"' + value + u'"' : value;
}

void setValue(Document &doc, const QString &section, const QString &key, const QString &value,
              Qt::CaseSensitivity names)
{
    const QString line = key + u'=' + storedForm(value);
    const SectionSpan span = findSection(doc.lines, section, names);
    if (span.header < 0) {
        doc.lines << (u'[' + section + u']') << line;
    } else if (const qsizetype at = findKey(doc.lines, span.header, key, names); at >= 0) {
        doc.lines[at] = line;
    } else {
        doc.lines.insert(span.insertAt, line);
    }
}

} // namespace

QString ReadValue(const QString &section, const QString &key, const QString &defaultValue, const QString &file,
                  Qt::CaseSensitivity names)
{
    const auto doc = load(file);
    if (!doc)
        return defaultValue;
    const SectionSpan span = findSection(doc->lines, section, names);
    if (span.header < 0)
        return defaultValue;
    const qsizetype at = findKey(doc->lines, span.header, key, names);
    return at < 0 ? defaultValue : valueOf(doc->lines.at(at));
}

bool WriteValue(const QString &section, const QString &key, const QString &value, const QString &file,
                Qt::CaseSensitivity names)
{
    if (hasLineBreak(key) || hasLineBreak(value))
        return false;
    auto doc = load(file);
    if (!doc)
        return false;
    setValue(*doc, section, key, value, names);
    return save(*doc, file);
}

bool RewriteFile(const QList<Entry> &entries, const QString &file)
{
    Document doc;
    for (const Entry &entry : entries) {
        if (!hasLineBreak(entry.key) && !hasLineBreak(entry.value))
            setValue(doc, entry.section, entry.key, entry.value, Qt::CaseInsensitive);
    }
    return save(doc, file);
}

bool DeleteValue(const QString &section, const QString &key, const QString &file, Qt::CaseSensitivity names)
{
    auto doc = load(file);
    if (!doc)
        return false;
    const SectionSpan span = findSection(doc->lines, section, names);
    const qsizetype at = span.header < 0 ? -1 : findKey(doc->lines, span.header, key, names);
    if (at < 0)
        return true;
    doc->lines.removeAt(at);
    return save(*doc, file);
}

} // namespace platform::ini
