#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace support {

// A raised error as the program's steps trap it: the error number (32-bit result codes are kept
// as signed numbers, as the message tables compare them), a description and the source that
// raised it.
class Error : public std::exception {
public:
    Error(int32_t number, QString description, QString source = {});

    int32_t Number() const { return m_number; }
    const QString &Description() const { return m_description; }
    const QString &Source() const { return m_source; }

    const char *what() const noexcept override { return m_what.c_str(); }

private:
    int32_t m_number;
    QString m_description;
    QString m_source;
    std::string m_what;
};

// Turns a 32-bit result code written in hexadecimal (0x80040E37) into the signed number that
// an error carries.
constexpr int32_t ResultCode(uint32_t code) { return static_cast<int32_t>(code); }

// The number of an error the system reported with errno: 0x80070000 + its number.
constexpr int32_t SystemErrorCode(int error) { return ResultCode(0x80070000u | (static_cast<uint32_t>(error) & 0xFFFFu)); }

} // namespace support
