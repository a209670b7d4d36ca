#include "scan/modScanDirs.h"

#include "platform/database/Connection.h"
#include "platform/security/ADsSecurity.h"
#include "scan/UnreadableAccounts.h"
#include "scan/modDatabase.h"
#include "scan/modSearchDirs.h"
#include "support/DoEvents.h"
#include "support/Error.h"

#include <QHash>
#include <QSet>

#include <cmath>

namespace modScanDirs {

namespace {

bool blnStopScanDirs = false;

struct NamedMask {
    uint32_t mask;
    const char *name;
};

// The rights views filter these names with LIKE on "List", "Read", "Execute", "Modify",
// "Write" and "Full", so the names of masks that mean the same differ in parts on purpose.
constexpr NamedMask MaskNames[] = {
    {0x00110001, "Read&Delete"},
    {0x00120089, "Read&Execute"},
    {0x001200A9, "Read&Execute"},
    {0x0012019F, "Read&Write"},
    {0x001201BF, "Read&Write&Execute"},
    {0x0013019F, "Read&Execute"},
    {0x001301BF, "Modify"},
    {0x0017019F, "Read&Execute"},
    {0x001701FF, "Modify"},
    {0x001E00E9, "Read&Execute"},
    {0x001E01FF, "Read&Write&Execute"},
    {0x001F01FF, "Full"},
    {0x01120089, "Read"},
    {0x011200A9, "List"},
    {0x10000000, "Full"},
    {0xA0000000, "List&Read&Execute"},
};

// Stores the rows of one directory. The names of rights repeat from directory to directory: they
// are made once per scan. An account or group whose name is no text has no row (the directory's
// other rows stay) and is noted in unreadable.
class RightsWriter {
public:
    RightsWriter(platform::database::Connection &connection, const QString &table, UnreadableAccounts &unreadable)
        : m_rows(connection, table, 3), m_unreadable(unreadable)
    {
    }

    void Store(const QString &dir, const platform::security::SecurityDescriptor &descriptor)
    {
        const QString storedPath = modDatabase::EscapeQuotes(dir);
        QString lastTrustee; // "" at the start of every directory
        for (const platform::security::AccessControlEntry &entry : descriptor.DiscretionaryAcl) {
            if (entry.Trustee == lastTrustee)
                continue;
            lastTrustee = entry.Trustee;
            if (!Readable(entry))
                continue;
            m_leftOut.Store([&] {
                m_rows.Insert(
                    {storedPath, modDatabase::EscapeQuotes(MemberName(entry.Trustee)), StoredRight(entry.AccessMask)});
            });
        }
    }

    void RaiseIfRowsLeftOut() const { m_leftOut.RaiseIfAny(); }

private:
    bool Readable(const platform::security::AccessControlEntry &entry)
    {
        using platform::security::TrusteeKind;
        if (entry.Kind == TrusteeKind::Group)
            return m_unreadable.ReadableGroup(entry.UnreadableName);
        return entry.Kind == TrusteeKind::Other || m_unreadable.ReadableUser(entry.UnreadableName);
    }

    const QString &StoredRight(uint32_t mask)
    {
        auto found = m_rights.constFind(mask);
        if (found == m_rights.cend())
            found = m_rights.insert(mask, modDatabase::EscapeQuotes(RightName(mask)));
        return *found;
    }

    modDatabase::RowWriter m_rows;
    UnreadableAccounts &m_unreadable;
    QHash<uint32_t, QString> m_rights;
    modDatabase::LeftOutRows m_leftOut;
};

// The descriptor of a directory, or nothing when it cannot be read (gone since the search, no
// access, a path too long for the system): like the directory search, the scan passes over such a
// directory and goes on, and only database failures end it. The directory is noted in unreadable,
// unless the search could not list it and noted it there already. No link below the root that the
// search began at is followed.
std::optional<platform::security::SecurityDescriptor> ReadableDescriptor(platform::security::ADsSecurity &security,
                                                                       const QString &dir, const QString &root,
                                                                       std::vector<PassedOver> &unreadable,
                                                                       const QSet<QString> &noted)
{
    try {
        return security.GetSecurityDescriptor(QStringLiteral("FILE://") + dir, root);
    } catch (const support::Error &error) {
        if (!noted.contains(dir))
            unreadable.push_back({dir, error.Description()});
        return std::nullopt;
    }
}

} // namespace

QString RightName(uint32_t mask)
{
    for (const NamedMask &named : MaskNames)
        if (named.mask == mask)
            return QString::fromLatin1(named.name);
    return QString::number(mask, 16).toUpper();
}

QString MemberName(const QString &trustee)
{
    const qsizetype separator = trustee.indexOf(u'\\');
    return separator < 0 ? trustee : trustee.mid(separator + 1);
}

void StopScanDirs() { blnStopScanDirs = true; }

int32_t ScanDirs(const QStringList &Dirs, support::ProgressBar &Bar, support::StatusLabel &Status,
                 const QString &DbPath, const QString &Table, std::vector<PassedOver> *Unreadable)
{
    std::vector<PassedOver> own;
    std::vector<PassedOver> &unreadable = Unreadable ? *Unreadable : own;
    QSet<QString> noted;
    for (const PassedOver &passedOver : unreadable)
        noted.insert(passedOver.Name);
    platform::database::Connection connection;
    try {
        platform::security::ADsSecurity security;
        if (!Dirs.isEmpty())
            Bar.setMax(Dirs.size());
        Bar.setValue(0);
        blnStopScanDirs = false;
        modDatabase::OpenDatabase(connection, DbPath);
        modDatabase::EmptyTable(connection, Table);
        UnreadableAccounts trustees(unreadable);
        RightsWriter rights(connection, Table, trustees);
        const QStringList roots = modSearchDirs::FoundBelow(Dirs);

        for (qsizetype i = 0; i < Dirs.size(); ++i) {
            // An object the security layer has no descriptor for only has no rows.
            if (const auto descriptor = ReadableDescriptor(security, Dirs[i], roots[i], unreadable, noted))
                rights.Store(Dirs[i], *descriptor);
            Bar.setValue(Bar.Value() + 1);
            // Multiplied first, so that whole numbers divide exactly (29 of 100 is 29%, not 28%).
            const auto percent = static_cast<long long>(std::floor(Bar.Value() * 100 / Bar.Max()));
            Status.setCaption(QStringLiteral("Scannning directories ( ") + QString::number(percent) +
                              QStringLiteral("% )"));
            support::DoEvents();
            if (blnStopScanDirs) {
                Status.setCaption(QStringLiteral("Scan cancelled."));
                connection.Close();
                return 0;
            }
        }
        rights.RaiseIfRowsLeftOut();
        Status.setCaption(ScannedText(QStringLiteral("Directories"),
                                      Counted(unreadable.size() - trustees.Noted(), QStringLiteral("directory"),
                                              QStringLiteral("directories")) + trustees.Counts()));
        connection.Close();
        return 1;
    } catch (const support::Error &error) {
        Status.setCaption(modDatabase::ErrorMessage(error, Table));
        modDatabase::CloseAfterError(connection);
        return 0;
    }
}

} // namespace modScanDirs
