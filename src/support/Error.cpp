#include "support/Error.h"

namespace support {

Error::Error(int32_t number, QString description, QString source)
    : m_number(number), m_description(std::move(description)), m_source(std::move(source)),
      m_what(QStringLiteral("%1 (%2): %3").arg(m_source).arg(m_number).arg(m_description).toStdString())
{
}

} // namespace support
