#pragma once

#include "support/DateText.h"

#include <QString>

// One installed program on one computer: a row of the InstalledSoftware table. InstallDate is
// not stored by the scan and keeps the zero date.
class clsProgram {
public:
    QString Computer() const { return m_Computer; }
    QString Program() const { return m_Program; }
    QString version() const { return m_version; }
    QString Publisher() const { return m_Publisher; }
    QString InstallSource() const { return m_InstallSource; }
    support::LocalDateTime InstallDate() const { return m_InstallDate; }

    void setComputer(const QString &value) { m_Computer = value; }
    void setProgram(const QString &value) { m_Program = value; }
    void setVersion(const QString &value) { m_version = value; }
    void setPublisher(const QString &value) { m_Publisher = value; }
    void setInstallSource(const QString &value) { m_InstallSource = value; }
    void setInstallDate(const support::LocalDateTime &value) { m_InstallDate = value; }

private:
    QString m_Computer;
    QString m_Program;
    QString m_version;
    QString m_Publisher;
    QString m_InstallSource;
    support::LocalDateTime m_InstallDate = support::ZeroDate();
};

// Its members move as plain bytes: a list of many thousands grows without copying each record.
Q_DECLARE_TYPEINFO(clsProgram, Q_RELOCATABLE_TYPE);
