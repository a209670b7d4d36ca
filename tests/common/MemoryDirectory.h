#pragma once

#include "platform/directory/DirectoryService.h"

#include <deque>
#include <map>

namespace testing_support {

// A directory service held in memory, installed as the one in use for as long as it lives, so that
// tests can build what a real service rarely shows on demand: users without LastLogin or
// UserFlags, users in no group, domains without groups, hostile names. Put(name, QVariant())
// removes a property.
class MemoryDirectory : public platform::directory::DirectoryService {
public:
    using User = platform::directory::User;
    using Group = platform::directory::Group;
    using Computer = platform::directory::Computer;

    struct Domain { // deques: what an Add returned stays in place while more are added
        std::deque<User> users;
        std::deque<Group> groups;
        std::deque<Computer> computers;
    };

    MemoryDirectory() { platform::directory::Install(this); }
    ~MemoryDirectory() override { platform::directory::Install(nullptr); }

    // Made empty on first use; listed in the order made. A bound domain sees what is added later.
    Domain &AddDomain(const QString &name)
    {
        if (!m_domains.count(name))
            m_order << name;
        return m_domains[name];
    }
    // AccountDisabled false, UserFlags 513 (a normal account), no LastLogin, and the named groups
    // (which need not be groups of the domain).
    User &AddUser(const QString &domain, const QString &name, const QStringList &groups = {})
    {
        auto &user = AddDomain(domain).users.emplace_back(platform::directory::MakeUser(domain, name));
        user.Put(QStringLiteral("AccountDisabled"), false);
        user.Put(QStringLiteral("UserFlags"), 513);
        std::vector<Group> memberships;
        for (const QString &group : groups)
            memberships.push_back(platform::directory::MakeGroup(domain, group));
        user.setGroups(std::move(memberships));
        return user;
    }
    Group &AddGroup(const QString &domain, const QString &name)
    {
        return AddDomain(domain).groups.emplace_back(platform::directory::MakeGroup(domain, name));
    }
    Computer &AddComputer(const QString &domain, const QString &name)
    {
        return AddDomain(domain).computers.emplace_back(platform::directory::MakeComputer(domain, name));
    }

    QStringList Domains() override { return m_order; }
    std::unique_ptr<platform::directory::DomainContainer> Bind(const QString &domain) override
    {
        ++binds;
        for (const QString &name : m_order)
            if (name.compare(domain, Qt::CaseInsensitive) == 0)
                return std::make_unique<Container>(name, m_domains[name]);
        throw platform::directory::DomainNotFound();
    }

    int binds = 0; // how often Bind was called

private:
    struct Container : platform::directory::DomainContainer {
        Container(QString name, const Domain &domain) : name(std::move(name)), domain(domain) {}
        QString Name() const override { return name; }
        std::vector<User> Users() override { return {domain.users.begin(), domain.users.end()}; }
        std::vector<Group> Groups() override { return {domain.groups.begin(), domain.groups.end()}; }
        std::vector<Computer> Computers() override { return {domain.computers.begin(), domain.computers.end()}; }

        QString name;
        const Domain &domain;
    };

    QStringList m_order;
    std::map<QString, Domain> m_domains;
};

} // namespace testing_support
