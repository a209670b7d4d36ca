#pragma once

#include "platform/directory/DirectoryService.h"

#include <deque>
#include <map>

namespace testing_support {

// A directory service held in memory, installed as the one in use for as long as it lives.
// Tests build exactly the domains they need, including what a real service rarely shows on
// demand: users without LastLogin or UserFlags, users in no group, domains without groups,
// hostile names. Properties are set with Put and removed with Put(name, QVariant()).
class MemoryDirectory : public platform::directory::DirectoryService {
public:
    struct Domain {
        // Deques, so that an object returned by an Add stays in place while more are added.
        std::deque<platform::directory::User> users;
        std::deque<platform::directory::Group> groups;
        std::deque<platform::directory::Computer> computers;
    };

    MemoryDirectory();
    ~MemoryDirectory() override;

    // The domain of that name, made empty on first use; domains are listed in the order made.
    // A bound container sees what is added later.
    Domain &AddDomain(const QString &name);

    // A user of domain with Name and ADsPath, AccountDisabled false, UserFlags 513 (a normal
    // account), no LastLogin and the named groups (which need not be groups of the domain).
    platform::directory::User &AddUser(const QString &domain, const QString &name, const QStringList &groups = {});
    platform::directory::Group &AddGroup(const QString &domain, const QString &name);
    platform::directory::Computer &AddComputer(const QString &domain, const QString &name);

    QStringList Domains() override;
    std::unique_ptr<platform::directory::DomainContainer> Bind(const QString &domain) override;

    // How often Bind was called, to check that a step binds as often as it should.
    int binds = 0;

private:
    QStringList m_order;
    std::map<QString, Domain> m_domains;
};

} // namespace testing_support
