#include "platform/database/TextPool.h"

namespace platform::database {

QString TextPool::Text(const Field &field)
{
    const QByteArray bytes = field.Utf8();
    const std::string_view stored(bytes.constData(), size_t(bytes.size()));
    if (const auto found = m_texts.find(stored); found != m_texts.end())
        return found->second;
    QString text = QString::fromUtf8(bytes);
    if (m_shape)
        text = m_shape(text);
    m_texts.emplace(std::string(stored), text);
    return text;
}

} // namespace platform::database
