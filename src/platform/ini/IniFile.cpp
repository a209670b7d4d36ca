#include "platform/ini/IniFile.h"

#include "platform/files/RegularFile.h"
#include "support/Error.h"
#include "support/TextLines.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>

#include <optional>
#include <vector>

namespace platform::ini {

namespace {

struct Document {
    QStringList lines; // without line ends
    QString lineEnd = QStringLiteral("\n");
    bool bom = false;
};

// The text of a settings file: UTF-8 (a line that is no UTF-8 read as Latin-1), or UTF-16 after its
// byte-order mark (what Windows editors write when asked for "Unicode"), so that nothing read is
// lost when the file is written again.
QString decoded(QByteArrayView bytes, bool &bom)
{
    const auto convert = [](QStringConverter::Encoding encoding, QByteArrayView body) {
        QStringDecoder decoder(encoding);
        return QString(decoder(body));
    };
    bom = bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xEF\xBB\xBF");
    if (bytes.startsWith("\xFF\xFE"))
        return convert(QStringConverter::Utf16LE, bytes.sliced(2));
    if (bytes.startsWith("\xFE\xFF"))
        return convert(QStringConverter::Utf16BE, bytes.sliced(2));
    return support::Utf8OrLatin1Lines(bom ? bytes.sliced(3) : bytes);
}

// The file's lines, split at CR LF, LF or a lone CR (old Mac editors). A missing file is an empty
// document; one that cannot be read is nothing.
std::optional<Document> load(const QString &file)
{
    std::optional<QByteArray> bytes;
    try {
        bytes = files::Read(file);
    } catch (const support::Error &) {
        return std::nullopt;
    }
    Document doc;
    if (!bytes)
        return doc;
    QString text = decoded(*bytes, doc.bom);
    if (text.contains(QStringLiteral("\r\n")))
        doc.lineEnd = QStringLiteral("\r\n");
    else if (text.contains(u'\r') && !text.contains(u'\n'))
        doc.lineEnd = QStringLiteral("\r");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    doc.lines = text.split(u'\n');
    if (!doc.lines.isEmpty() && doc.lines.last().isEmpty())
        doc.lines.removeLast(); // the final line end
    return doc;
}

// Windows writes no read-only settings file, and root passes every access check: a file without
// any write permission is left alone, like one this user may not write.
bool mayReplace(const QFileInfo &existing)
{
    const auto writeBits = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return !existing.exists() || ((existing.permissions() & writeBits) && existing.isWritable());
}

// The new content replaces the file in one step (a crash or a full disk leaves the old one
// whole), in UTF-8 and with the file's line ends, mode and owner. False for a read-only file, which
// is left alone; a failed write raises.
bool save(const Document &doc, const QString &file)
{
    if (!mayReplace(QFileInfo(file)))
        return false;
    QByteArray bytes = doc.bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const QString &line : doc.lines)
        bytes += (line + doc.lineEnd).toUtf8();
    files::Replace(file, bytes);
    return true;
}

// save() for the callers that only need to know whether the file now holds the document.
bool saved(const Document &doc, const QString &file)
{
    try {
        return save(doc, file);
    } catch (const support::Error &) {
        return false;
    }
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

// A value ends at its first NUL, as the C strings of the INI functions do.
QString valueOf(const QString &line)
{
    QString value = line.mid(line.indexOf(u'=') + 1);
    if (const qsizetype nul = value.indexOf(QChar()); nul >= 0)
        value.truncate(nul);
    value = value.trimmed();
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

// A line break would end the line early and let the rest pose as further keys; a NUL would end
// the value early.
bool unwritable(const QString &text) { return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar()); }

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

Snapshot::Snapshot(const QString &file, Qt::CaseSensitivity names) : m_names(names)
{
    const auto doc = load(file);
    if (!doc)
        return;
    Section *current = nullptr; // nullptr before the first section and in a repeated one
    for (const QString &line : doc->lines) {
        if (const auto name = sectionName(line)) {
            const QString folded = Folded(*name);
            current = m_sections.count(folded) ? nullptr : &m_sections[folded];
        } else if (const auto key = current ? keyName(line) : std::nullopt) {
            const QString folded = Folded(*key);
            if (!current->values.contains(folded)) {
                current->values.insert(folded, valueOf(line));
                current->keys << *key;
            }
        }
    }
}

QString Snapshot::Folded(const QString &name) const { return m_names == Qt::CaseInsensitive ? name.toCaseFolded() : name; }

QString Snapshot::Value(const QString &section, const QString &key, const QString &defaultValue) const
{
    const auto found = m_sections.find(Folded(section));
    return found == m_sections.end() ? defaultValue : found->second.values.value(Folded(key), defaultValue);
}

QStringList Snapshot::Keys(const QString &section) const
{
    const auto found = m_sections.find(Folded(section));
    return found == m_sections.end() ? QStringList() : found->second.keys;
}

QString ReadValue(const QString &section, const QString &key, const QString &defaultValue, const QString &file,
                  Qt::CaseSensitivity names)
{
    // One key needs no index of the whole file (a Snapshot of a settings file with thousands of
    // directories costs ten times the reading): the search stops at the end of the section.
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
    if (unwritable(key) || unwritable(value))
        return false;
    auto doc = load(file);
    if (!doc)
        return false;
    setValue(*doc, section, key, value, names);
    return saved(*doc, file);
}

// Built in one pass, however many entries there are: a long list of directories must not cost a
// search of the lines written so far for every entry.
bool RewriteFile(const QList<Entry> &entries, const QString &file)
{
    // What could not be read is not replaced; the old content itself is not needed.
    CheckReadable(file);
    struct Section {
        QString header;
        QStringList lines;
        QHash<QString, qsizetype> keys; // case-folded key -> its line
    };
    std::vector<Section> sections;
    QHash<QString, size_t> sectionIndex; // case-folded name -> its section
    for (const Entry &entry : entries) {
        if (unwritable(entry.key) || unwritable(entry.value))
            continue;
        const QString name = entry.section.toCaseFolded();
        if (!sectionIndex.contains(name)) {
            sectionIndex.insert(name, sections.size());
            sections.push_back({u'[' + entry.section + u']', {}, {}});
        }
        Section &section = sections[sectionIndex.value(name)];
        const QString line = entry.key + u'=' + storedForm(entry.value);
        const QString key = entry.key.toCaseFolded();
        if (const auto at = section.keys.constFind(key); at != section.keys.cend()) {
            section.lines[*at] = line;
        } else {
            section.keys.insert(key, section.lines.size());
            section.lines << line;
        }
    }
    Document doc;
    for (const Section &section : sections)
        doc.lines << section.header << section.lines;
    return save(doc, file);
}

void CheckReadable(const QString &file) { files::Read(file); }

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
    return saved(*doc, file);
}

} // namespace platform::ini
