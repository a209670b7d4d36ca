#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <memory>
#include <optional>
#include <vector>

namespace platform::directory {

// One source of the name service (a word of nsswitch.conf, such as "sss"), asked on its own
// through its module libnss_<source>.so.2 and the functions every module offers. A source that
// answers look-ups without listing its entries (sssd or nslcd with enumeration off) is asked so
// for each name, which costs what one look-up in that source costs; asked through the C library,
// each look-up would first read the whole files of the files source. A source whose module cannot
// be loaded, or that lacks a function, answers nothing to it, as the C library then passes it by.
class NssSource {
public:
    explicit NssSource(const QByteArray &source);

    // True when the source knows an account called name.
    bool KnowsAccount(const QByteArray &name) const;
    // The name of the account of uid and of the group of gid, when the source knows them.
    std::optional<QByteArray> AccountName(uid_t uid) const;
    std::optional<QByteArray> GroupName(gid_t gid) const;
    // Appends the gids of the groups that the source gives user beside its primary group (as
    // "id" shows them) to gids.
    void AddGroups(const QByteArray &user, gid_t primary, std::vector<gid_t> &gids) const;

private:
    std::shared_ptr<void> m_module;
    // The module's functions, null where it has none.
    void *m_accountByName = nullptr;
    void *m_accountById = nullptr;
    void *m_groupById = nullptr;
    void *m_initGroups = nullptr;
};

} // namespace platform::directory
