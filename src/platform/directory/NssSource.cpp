#include "platform/directory/NssSource.h"

#include <dlfcn.h>
#include <grp.h>
#include <nss.h>
#include <pwd.h>

#include <cerrno>
#include <cstdlib>

namespace platform::directory {

namespace {

using InitGroups = nss_status (*)(const char *, gid_t, long *, long *, gid_t **, long, int *);

QByteArray AccountNameOf(const passwd &entry) { return entry.pw_name; }

} // namespace

NssSource::Ids NssSource::IdsOf(const passwd &entry) { return {entry.pw_uid, entry.pw_gid}; }

QByteArray NssSource::NameOf(const group &entry) { return entry.gr_name; }

NssSource::NssSource(const QByteArray &source)
    : m_module(dlopen(("libnss_" + source + ".so.2").constData(), RTLD_NOW | RTLD_LOCAL),
               [](void *module) { if (module) dlclose(module); })
{
    const auto function = [&](const char *name) {
        return m_module ? dlsym(m_module.get(), ("_nss_" + source + '_' + name).constData()) : nullptr;
    };
    m_accountByName = function("getpwnam_r");
    m_accountById = function("getpwuid_r");
    m_groupById = function("getgrgid_r");
    m_initGroups = function("initgroups_dyn");
}

// What take reads from the entry that function (a module's look-up by key, or null) gives for
// key. It fills the entry and a buffer its texts point into, and says ERANGE when the buffer is
// too small: it is asked again with more room, as the C library does. Any other reason to try
// again may pass, so it ends only this look-up.
template <typename Entry, typename Key, typename Answer>
std::optional<Answer> NssSource::Lookup(void *function, Key key, Answer (*take)(const Entry &))
{
    using LookupFunction = nss_status (*)(Key, Entry *, char *, size_t, int *);
    const auto lookup = reinterpret_cast<LookupFunction>(function);
    if (!lookup || m_unavailable)
        return std::nullopt;
    std::vector<char> buffer(1024);
    while (buffer.size() <= LargestEntry) {
        Entry entry{};
        int error = 0;
        const nss_status status = lookup(key, &entry, buffer.data(), buffer.size(), &error);
        if (status == NSS_STATUS_SUCCESS)
            return take(entry);
        m_unavailable = status == NSS_STATUS_UNAVAIL;
        if (status != NSS_STATUS_TRYAGAIN || error != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    return std::nullopt;
}

std::optional<NssSource::Ids> NssSource::Account(const QByteArray &name)
{
    return Lookup(m_accountByName, name.constData(), IdsOf);
}

std::optional<QByteArray> NssSource::AccountName(uid_t uid) { return Lookup(m_accountById, uid, AccountNameOf); }

std::optional<QByteArray> NssSource::GroupName(gid_t gid) { return Lookup(m_groupById, gid, NameOf); }

// A module without initgroups_dyn gives a user's groups only through its list of groups, which
// the caller has read already.
void NssSource::AddGroups(const QByteArray &user, gid_t primary, std::vector<gid_t> &gids)
{
    const auto initgroups = reinterpret_cast<InitGroups>(m_initGroups);
    if (!initgroups || m_unavailable)
        return;
    // The module adds to an array of malloc's that it may grow with realloc; the primary group
    // stands first, as the C library passes it.
    long size = 16;
    long start = 1;
    auto *groups = static_cast<gid_t *>(std::malloc(size * sizeof(gid_t)));
    if (!groups)
        return;
    groups[0] = primary;
    int error = 0;
    // Like the C library, what the module has put in place counts, whatever it says besides.
    m_unavailable = initgroups(user.constData(), primary, &start, &size, &groups, -1, &error) == NSS_STATUS_UNAVAIL;
    gids.insert(gids.end(), groups + 1, groups + start);
    std::free(groups);
}

} // namespace platform::directory
