#pragma once

#include <QStringView>

#include <functional>
#include <string_view>

namespace support {

// A quick hash of a text, for the program's own tables of many thousands of texts. (Qt's hash
// of a text is a keyed hash made to withstand hostile input, several times slower.)
struct TextHash {
    size_t operator()(QStringView text) const noexcept
    {
        return std::hash<std::u16string_view>()(std::u16string_view(text.utf16(), size_t(text.size())));
    }
};

} // namespace support
