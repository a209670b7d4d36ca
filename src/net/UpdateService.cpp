#include "net/UpdateService.h"

#include "support/Installed.h"

#include <QList>
#include <QStringList>

#include <algorithm>
#include <optional>

namespace net {

namespace {

// The private half of this key is kept by whoever signs the releases, never in this repository.
constexpr const char *ServicePublicKey = "zid3foBLnjRiGQa3Y+69L8nXRX9AgZHFf/iYN0YCG8E=";

std::optional<QList<qulonglong>> versionNumbers(const QString &text)
{
    QList<qulonglong> numbers;
    for (const QString &part : text.split(u'.')) {
        bool ok = false;
        const qulonglong number = part.toULongLong(&ok);
        // toULongLong takes blanks and signs; a version takes digits only.
        if (!ok || part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) { return c.isDigit(); }))
            return std::nullopt;
        numbers << number;
    }
    return numbers;
}

} // namespace

const UpdateService &CurrentUpdateService()
{
    static UpdateService product{QStringLiteral("http://www.quillmere.org/"),
                                 QByteArray::fromBase64(QByteArray(ServicePublicKey))};
    return support::Installed<UpdateService>::Or(product);
}

void InstallUpdateService(UpdateService *service) { support::Installed<UpdateService>::Install(service); }

QByteArray SignedPreamble(UpdateRole role, const QString &version)
{
    return "Quillmere " + QByteArray(role == UpdateRole::Product ? "product " : "updater ") + version.toUtf8() + '\n';
}

bool IsVersion(const QString &text) { return versionNumbers(text).has_value(); }

bool IsNewerVersion(const QString &offered, const QString &running)
{
    const auto higher = versionNumbers(offered);
    const auto lower = versionNumbers(running);
    if (!higher || !lower)
        return false;
    for (qsizetype i = 0; i < std::max(higher->size(), lower->size()); ++i) {
        const qulonglong a = higher->value(i), b = lower->value(i);
        if (a != b)
            return a > b;
    }
    return false;
}

} // namespace net
