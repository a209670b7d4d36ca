#include "common/PathLimitChain.h"

#include <QFile>
#include <QProcess>

#include <linux/limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace testing_support {

namespace {

const QStringList AsNobody{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};

// Makes each relative path below the first argument, name by name through descriptors, as no
// command that works by path could below the limit. Debian's own python3: one in root's home
// (pyenv) is closed to nobody.
const QStringList MakeByDescriptors{
    "/usr/bin/python3", "-c",
    "import os, sys\n"
    "for relative in sys.argv[2:]:\n"
    "    fd = os.open(sys.argv[1], os.O_RDONLY | os.O_DIRECTORY)\n"
    "    for name in relative.split('/'):\n"
    "        try: os.mkdir(name, 0o755, dir_fd=fd)\n"
    "        except FileExistsError: pass\n"
    "        below = os.open(name, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW, dir_fd=fd)\n"
    "        os.close(fd)\n"
    "        fd = below\n"
    "    os.close(fd)\n"};

qsizetype Bytes(const QString &path) { return QFile::encodeName(path).size(); }

} // namespace

PathLimitChain::PathLimitChain(const QString &folder) : m_chain{folder + QStringLiteral("/sticky")}
{
    const QByteArray sticky = QFile::encodeName(m_chain.first());
    if (geteuid() != 0 || mkdir(sticky.constData(), 0700) != 0 || chmod(sticky.constData(), 01777) != 0)
        return;
    // The edges' names take 4,094 and 4,095 bytes less the parent's path, neither above 255.
    while (Bytes(m_chain.last()) < PATH_MAX - 256)
        m_chain << m_chain.last() + u'/' + QString(std::min<qsizetype>(255, PATH_MAX - 4 - Bytes(m_chain.last())), u'd');
    QStringList arguments = AsNobody.mid(1) + MakeByDescriptors + QStringList{m_chain.first()};
    for (const int bytes : {PATH_MAX - 1, PATH_MAX})
        arguments << Edge(bytes).mid(m_chain.first().size() + 1) + QStringLiteral("/below");
    m_made = QProcess::execute(AsNobody.first(), arguments) == 0;
}

PathLimitChain::~PathLimitChain() { QProcess::execute("rm", {"-rf", m_chain.first()}); }

QString PathLimitChain::Edge(int bytes) const
{
    return m_chain.last() + u'/' + QString(bytes - Bytes(m_chain.last()) - 1, u'e');
}

} // namespace testing_support
