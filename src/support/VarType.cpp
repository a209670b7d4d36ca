#include "support/VarType.h"

#include <QDateTime>

namespace support {

VarType VarTypeOf(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType: return vbEmpty;
    case QMetaType::UChar: return vbByte;
    case QMetaType::Short: return vbInteger;
    case QMetaType::Int: return vbLong;
    case QMetaType::Float: return vbSingle;
    case QMetaType::Double: return vbDouble;
    case QMetaType::QDateTime: return vbDate;
    case QMetaType::QString: return vbString;
    case QMetaType::Bool: return vbBoolean;
    case QMetaType::QByteArray: return vbByteArray;
    default: return value.typeId() == qMetaTypeId<Currency>() ? vbCurrency : vbUnsupported;
    }
}

bool IsNumeric(const QVariant &value)
{
    switch (VarTypeOf(value)) {
    case vbByte:
    case vbInteger:
    case vbLong:
    case vbSingle:
    case vbDouble:
    case vbCurrency:
    case vbBoolean: return true;
    case vbString: {
        bool ok = false;
        value.toString().trimmed().toDouble(&ok);
        return ok;
    }
    default: return false;
    }
}

double NumberOf(const QVariant &value)
{
    if (!IsNumeric(value))
        return 0;
    switch (VarTypeOf(value)) {
    case vbBoolean: return value.toBool() ? -1 : 0;
    case vbCurrency: return static_cast<double>(value.value<Currency>().value) / 10000;
    case vbString: return value.toString().trimmed().toDouble();
    default: return value.toDouble();
    }
}

} // namespace support
