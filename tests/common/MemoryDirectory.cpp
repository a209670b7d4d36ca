#include "common/MemoryDirectory.h"

using namespace platform::directory;

namespace testing_support {

namespace {
class MemoryContainer : public DomainContainer {
public:
    MemoryContainer(QString name, const MemoryDirectory::Domain &domain) : m_name(std::move(name)), m_domain(domain) {}

    QString Name() const override { return m_name; }
    std::vector<User> Users() override { return {m_domain.users.begin(), m_domain.users.end()}; }
    std::vector<Group> Groups() override { return {m_domain.groups.begin(), m_domain.groups.end()}; }
    std::vector<Computer> Computers() override { return {m_domain.computers.begin(), m_domain.computers.end()}; }

private:
    QString m_name;
    const MemoryDirectory::Domain &m_domain;
};
} // namespace

MemoryDirectory::MemoryDirectory() { Install(this); }

MemoryDirectory::~MemoryDirectory() { Install(nullptr); }

MemoryDirectory::Domain &MemoryDirectory::AddDomain(const QString &name)
{
    if (!m_domains.count(name))
        m_order << name;
    return m_domains[name];
}

User &MemoryDirectory::AddUser(const QString &domain, const QString &name, const QStringList &groups)
{
    User user = MakeUser(domain, name);
    user.Put(QStringLiteral("AccountDisabled"), false);
    user.Put(QStringLiteral("UserFlags"), 513);
    std::vector<Group> memberships;
    for (const QString &group : groups)
        memberships.push_back(MakeGroup(domain, group));
    user.setGroups(std::move(memberships));
    auto &users = AddDomain(domain).users;
    users.push_back(std::move(user));
    return users.back();
}

Group &MemoryDirectory::AddGroup(const QString &domain, const QString &name)
{
    auto &groups = AddDomain(domain).groups;
    groups.push_back(MakeGroup(domain, name));
    return groups.back();
}

Computer &MemoryDirectory::AddComputer(const QString &domain, const QString &name)
{
    auto &computers = AddDomain(domain).computers;
    computers.push_back(MakeComputer(domain, name));
    return computers.back();
}

QStringList MemoryDirectory::Domains() { return m_order; }

std::unique_ptr<DomainContainer> MemoryDirectory::Bind(const QString &domain)
{
    ++binds;
    for (const QString &name : m_order)
        if (name.compare(domain, Qt::CaseInsensitive) == 0)
            return std::make_unique<MemoryContainer>(name, m_domains[name]);
    throw DomainNotFound();
}

} // namespace testing_support
