// A name-service source for the accounts tests: it answers look-ups by name and by number, and a
// user's groups, from the files "passwd" and "group" of the folder that LOOKUPONLY_FILES names,
// but lists nothing, as sssd and nslcd do with enumeration off. Loaded by the C library as
// libnss_lookuponly.so.2 when "lookuponly" stands in an nsswitch.conf and the folder of this
// library is on LD_LIBRARY_PATH.

#include <grp.h>
#include <nss.h>
#include <pwd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

FILE *Open(const char *name)
{
    const char *folder = std::getenv("LOOKUPONLY_FILES");
    return folder ? std::fopen((std::string(folder) + '/' + name).c_str(), "re") : nullptr;
}

// The first entry of the file that matches, copied into the caller's buffer.
template <typename Entry, typename Matches>
nss_status Find(const char *file, int (*next)(FILE *, Entry *, char *, size_t, Entry **), Matches matches,
                Entry *result, char *buffer, size_t length, int *error)
{
    FILE *stream = Open(file);
    if (!stream) {
        *error = ENOENT;
        return NSS_STATUS_UNAVAIL;
    }
    nss_status status = NSS_STATUS_NOTFOUND;
    Entry *entry = nullptr;
    int failure = 0;
    while ((failure = next(stream, result, buffer, length, &entry)) == 0) {
        if (matches(*entry)) {
            status = NSS_STATUS_SUCCESS;
            break;
        }
    }
    if (failure == ERANGE) {
        *error = ERANGE;
        status = NSS_STATUS_TRYAGAIN;
    } else if (status == NSS_STATUS_NOTFOUND) {
        *error = ENOENT;
    }
    std::fclose(stream);
    return status;
}

bool Lists(const group &entry, const char *user)
{
    for (char **member = entry.gr_mem; *member; ++member)
        if (std::strcmp(*member, user) == 0)
            return true;
    return false;
}

} // namespace

extern "C" {

nss_status _nss_lookuponly_getpwnam_r(const char *name, passwd *result, char *buffer, size_t length, int *error)
{
    return Find("passwd", fgetpwent_r, [name](const passwd &p) { return std::strcmp(p.pw_name, name) == 0; }, result,
                buffer, length, error);
}

nss_status _nss_lookuponly_getpwuid_r(uid_t uid, passwd *result, char *buffer, size_t length, int *error)
{
    return Find("passwd", fgetpwent_r, [uid](const passwd &p) { return p.pw_uid == uid; }, result, buffer, length, error);
}

nss_status _nss_lookuponly_getgrnam_r(const char *name, group *result, char *buffer, size_t length, int *error)
{
    return Find("group", fgetgrent_r, [name](const group &g) { return std::strcmp(g.gr_name, name) == 0; }, result,
                buffer, length, error);
}

nss_status _nss_lookuponly_getgrgid_r(gid_t gid, group *result, char *buffer, size_t length, int *error)
{
    return Find("group", fgetgrent_r, [gid](const group &g) { return g.gr_gid == gid; }, result, buffer, length, error);
}

// Adds the gids of the groups that list user, but for its primary group, to *groups from *start
// on, growing the array as the C library expects (at most limit entries when limit > 0).
nss_status _nss_lookuponly_initgroups_dyn(const char *user, gid_t primary, long *start, long *size, gid_t **groups,
                                          long limit, int *error)
{
    FILE *stream = Open("group");
    if (!stream) {
        *error = ENOENT;
        return NSS_STATUS_UNAVAIL;
    }
    nss_status status = NSS_STATUS_NOTFOUND;
    while (const group *entry = fgetgrent(stream)) {
        if (entry->gr_gid == primary || !Lists(*entry, user))
            continue;
        if (*start == *size) {
            if (limit > 0 && *size >= limit)
                break;
            const long grown = limit > 0 && 2 * *size > limit ? limit : 2 * *size;
            auto *larger = static_cast<gid_t *>(std::realloc(*groups, grown * sizeof(gid_t)));
            if (!larger) {
                *error = ENOMEM;
                status = NSS_STATUS_TRYAGAIN;
                break;
            }
            *groups = larger;
            *size = grown;
        }
        (*groups)[(*start)++] = entry->gr_gid;
        status = NSS_STATUS_SUCCESS;
    }
    std::fclose(stream);
    return status;
}

// Enumeration lists nothing, as an LDAP or AD source with enumeration switched off.
nss_status _nss_lookuponly_setpwent(int) { return NSS_STATUS_SUCCESS; }
nss_status _nss_lookuponly_endpwent() { return NSS_STATUS_SUCCESS; }
nss_status _nss_lookuponly_getpwent_r(passwd *, char *, size_t, int *error)
{
    *error = ENOENT;
    return NSS_STATUS_NOTFOUND;
}
nss_status _nss_lookuponly_setgrent(int) { return NSS_STATUS_SUCCESS; }
nss_status _nss_lookuponly_endgrent() { return NSS_STATUS_SUCCESS; }
nss_status _nss_lookuponly_getgrent_r(group *, char *, size_t, int *error)
{
    *error = ENOENT;
    return NSS_STATUS_NOTFOUND;
}

} // extern "C"
