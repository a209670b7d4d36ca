#include "platform/shell/StartProgram.h"

#include <QProcess>

namespace platform::shell {

bool StartProgram(const QString &file, const QString &argument) { return QProcess::startDetached(file, {argument}); }

} // namespace platform::shell
