#pragma once

#include <QByteArray>

#include <sys/types.h>

#include <memory>
#include <optional>
#include <vector>

struct group;
struct passwd;

namespace platform::directory {

// One source of the name service (a word of nsswitch.conf, such as "sss"), asked on its own
// through its module libnss_<source>.so.2 and the functions every module offers. A source that
// answers look-ups without listing its entries (sssd or nslcd with enumeration off) is asked so
// for each name, which costs what one look-up in that source costs; asked through the C library,
// each look-up would first read the whole files of the files source. A source whose module cannot
// be loaded, or that lacks a function, answers nothing to it, as the C library then passes it by.
//
// A source that once says it is unavailable (its daemon could not be reached, or did not answer
// within its own time limit: sssd's client waits 300 s) answers nothing from then on, without
// being asked again. The C library gets the same nothing for every look-up, but only after the
// same wait each time, which for a scan of a few thousand accounts beside a hung daemon adds up
// to weeks. An object lives for one step, so the next step asks the source afresh.
class NssSource {
public:
    struct Ids {
        uid_t uid;
        gid_t gid;
    };
    // What a look-up of an account or a group gives, as read from its entry.
    static Ids IdsOf(const passwd &entry);
    static QByteArray NameOf(const group &entry);

    // A group with many members needs room; past this an entry is taken to be none.
    static constexpr size_t LargestEntry = size_t(1) << 26;

    explicit NssSource(const QByteArray &source);

    // The uid and primary gid of the account called name, when the source knows it.
    std::optional<Ids> Account(const QByteArray &name);
    // The name of the account of uid and of the group of gid, when the source knows them.
    std::optional<QByteArray> AccountName(uid_t uid);
    std::optional<QByteArray> GroupName(gid_t gid);
    // Appends the gids of the groups that the source gives user beside its primary group (as
    // "id" shows them) to gids.
    void AddGroups(const QByteArray &user, gid_t primary, std::vector<gid_t> &gids);

private:
    template <typename Entry, typename Key, typename Answer>
    std::optional<Answer> Lookup(void *function, Key key, Answer (*take)(const Entry &));

    std::shared_ptr<void> m_module;
    // The module's functions, null where it has none.
    void *m_accountByName = nullptr;
    void *m_accountById = nullptr;
    void *m_groupById = nullptr;
    void *m_initGroups = nullptr;
    bool m_unavailable = false;
};

} // namespace platform::directory
