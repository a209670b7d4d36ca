#pragma once

#include "support/DateText.h"

#include <QString>

// One network user as the user list shows it: a row of the Users table.
class clsUser {
public:
    QString Username() const { return m_Username; }
    QString UserPath() const { return m_UserPath; }
    bool AccountDisabled() const { return m_AccountDisabled; }
    bool PasswordNeverExpires() const { return m_PasswordNeverExpires; }
    support::LocalDateTime LastLogin() const { return m_LastLogin; }

    void setUsername(const QString &value) { m_Username = value; }
    void setUserPath(const QString &value) { m_UserPath = value; }
    void setAccountDisabled(bool value) { m_AccountDisabled = value; }
    void setPasswordNeverExpires(bool value) { m_PasswordNeverExpires = value; }
    void setLastLogin(const support::LocalDateTime &value) { m_LastLogin = value; }

private:
    QString m_Username;
    QString m_UserPath;
    bool m_AccountDisabled = false;
    bool m_PasswordNeverExpires = false;
    support::LocalDateTime m_LastLogin = support::ZeroDate();
};

// Its members move as plain bytes: a list of many thousands grows without copying each record.
Q_DECLARE_TYPEINFO(clsUser, Q_RELOCATABLE_TYPE);
