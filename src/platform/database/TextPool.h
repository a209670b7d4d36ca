#pragma once

#include "platform/database/Recordset.h"

#include <QString>

#include <string>
#include <string_view>
#include <unordered_map>

namespace platform::database {

// Makes the texts of fields into QStrings once per distinct text. A column whose values repeat
// from row to row (the computer of each of its programs, a publisher, a right) then holds one
// shared QString per value instead of one per row, made, shaped and freed once.
class TextPool {
public:
    // shape turns the stored text into the one handed out (nullptr: as stored).
    explicit TextPool(QString (*shape)(const QString &) = nullptr) : m_shape(shape) {}

    // The field's text as Text() gives it, shaped; Null raises error 94 "Invalid use of Null".
    QString Text(const Field &field);

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view bytes) const noexcept { return std::hash<std::string_view>()(bytes); }
    };

    QString (*m_shape)(const QString &);
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts; // by the stored UTF-8
};

} // namespace platform::database
