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

// A group with many members needs room; past this a source is taken to know nothing.
constexpr size_t LargestEntry = size_t(1) << 26;

// The name in the entry that function (a module's look-up by key, or null) gives for key. It
// fills the entry and a buffer its texts point into, and says ERANGE when the buffer is too small:
// it is asked again with more room, as the C library does.
template <typename Entry, typename Key>
std::optional<QByteArray> NameOf(void *function, Key key, char *Entry::*name)
{
    using Lookup = nss_status (*)(Key, Entry *, char *, size_t, int *);
    const auto lookup = reinterpret_cast<Lookup>(function);
    if (!lookup)
        return std::nullopt;
    std::vector<char> buffer(1024);
    while (buffer.size() <= LargestEntry) {
        Entry entry{};
        int error = 0;
        const nss_status status = lookup(key, &entry, buffer.data(), buffer.size(), &error);
        if (status == NSS_STATUS_SUCCESS)
            return QByteArray(entry.*name);
        if (status != NSS_STATUS_TRYAGAIN || error != ERANGE)
            return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
    return std::nullopt;
}

} // namespace

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

bool NssSource::KnowsAccount(const QByteArray &name) const
{
    return NameOf(m_accountByName, name.constData(), &passwd::pw_name).has_value();
}

std::optional<QByteArray> NssSource::AccountName(uid_t uid) const { return NameOf(m_accountById, uid, &passwd::pw_name); }

std::optional<QByteArray> NssSource::GroupName(gid_t gid) const { return NameOf(m_groupById, gid, &group::gr_name); }

// A module without initgroups_dyn gives a user's groups only through its list of groups, which
// the caller has read already.
void NssSource::AddGroups(const QByteArray &user, gid_t primary, std::vector<gid_t> &gids) const
{
    const auto initgroups = reinterpret_cast<InitGroups>(m_initGroups);
    if (!initgroups)
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
    initgroups(user.constData(), primary, &start, &size, &groups, -1, &error);
    gids.insert(gids.end(), groups + 1, groups + start);
    std::free(groups);
}

} // namespace platform::directory
