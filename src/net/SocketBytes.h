#pragma once

#include <QByteArray>
#include <QVariant>

#include <cstdint>
#include <optional>

// How the socket class turns values into the bytes it sends and back (types and layouts as
// clsSocketMaster::SendData describes them).
namespace SocketBytes {

// The bytes of Data; nothing for a type that cannot be sent.
std::optional<QByteArray> Of(const QVariant &Data);

// The byte count of a fixed-size type (support::VarType); 0 for any other.
int FixedSize(int32_t varType);

// The value of a fixed-size type from its FixedSize bytes.
QVariant ValueOf(int32_t varType, const QByteArray &bytes);

} // namespace SocketBytes
