#include "platform/directory/DirectoryObjects.h"

namespace platform::directory {

QVariant DirectoryObject::Get(const QString &property) const
{
    const auto found = m_properties.constFind(property.toLower());
    if (found == m_properties.cend())
        throw support::Error(kPropertyNotFound,
                             QStringLiteral("The directory property cannot be found in the cache."),
                             QStringLiteral("Active Directory"));
    return *found;
}

void DirectoryObject::Put(const QString &property, const QVariant &value)
{
    if (value.isValid())
        m_properties.insert(property.toLower(), value);
    else
        m_properties.remove(property.toLower());
}

namespace {
template <class Object>
Object Make(const QString &domain, const QString &name)
{
    Object object;
    object.Put(QStringLiteral("Name"), name);
    object.Put(QStringLiteral("ADsPath"), QStringLiteral("WinNT://") + domain + u'/' + name);
    return object;
}
} // namespace

User MakeUser(const QString &domain, const QString &name) { return Make<User>(domain, name); }
Group MakeGroup(const QString &domain, const QString &name) { return Make<Group>(domain, name); }
Computer MakeComputer(const QString &domain, const QString &name) { return Make<Computer>(domain, name); }

} // namespace platform::directory
