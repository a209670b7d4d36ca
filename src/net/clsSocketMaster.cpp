#include "net/clsSocketMaster.h"

#include "net/SocketBytes.h"
#include "net/modSocketMaster.h"
#include "platform/shell/Shell.h"
#include "platform/sockets/HostLookup.h"
#include "platform/sockets/SocketErrors.h"
#include "platform/sockets/SocketWatch.h"
#include "platform/sockets/Sockets.h"
#include "support/Error.h"
#include "support/NumericText.h"
#include "support/VarType.h"

#include <algorithm>

namespace sockets = platform::sockets;
using namespace support;

namespace {

constexpr int32_t sckWrongState = 40006;
constexpr int32_t sckBadArgument = 40014;
constexpr int32_t sckUnsupportedType = 40018;
constexpr int32_t sckInvalidOperation = 40020;

const QString WrongStateText =
    QStringLiteral("Wrong protocol or connection state for the requested transaction or request");
const QString BadArgumentText =
    QStringLiteral("The argument passed to a function was not in the correct format or in the specified range.");
const QString InvalidArgumentText = QStringLiteral("Invalid argument");
const QString UnsupportedTypeText = QStringLiteral("Unsupported variant type.");
const QString InvalidOperationText = QStringLiteral("Invalid operation at current state");

QString sourceOf(const char *procedure) { return QStringLiteral("clsSocketMaster.") + QLatin1String(procedure); }

[[noreturn]] void raise(int32_t number, const QString &description, const char *procedure)
{
    throw Error(number, description, sourceOf(procedure));
}

[[noreturn]] void raiseSocketError(int32_t code, const char *procedure)
{
    raise(code, modSocketMaster::GetErrorDescription(code), procedure);
}

// A port argument: 40018 when it is not a number, 40014 outside lowest..65535.
int32_t portArgument(const QVariant &port, int32_t lowest, const char *procedure)
{
    if (!IsNumeric(port))
        raise(sckUnsupportedType, UnsupportedTypeText, procedure);
    const double value = NumberOf(port);
    if (value < lowest || value > 65535)
        raise(sckBadArgument, BadArgumentText, procedure);
    return CLng(value);
}

struct Resolved {
    uint32_t address = 0;
    int32_t error = 0;
};

// A dotted address as it stands, else the first address of the name (this waits for the
// resolver).
Resolved resolveHostSync(const QString &host)
{
    if (const std::optional<uint32_t> address = sockets::InetAddr(host))
        return {*address, 0};
    const sockets::HostEntry entry = sockets::GetHostByName(host.toLatin1());
    if (entry.error)
        return {0, entry.error};
    return {entry.addresses.front(), 0};
}

// A socket without a local port has not been bound yet.
bool hasLocalPort(int32_t socket)
{
    sockets::Endpoint local;
    return socket != -1 && sockets::LocalEndpoint(socket, local) == 0 && local.port != 0;
}

QVariant emptyOf(int32_t varType) { return varType == vbString ? QVariant(QString()) : QVariant(QByteArray()); }

} // namespace

// Holds the object alive while a notification or a call that raises events is handled, so that
// a handler may drop the client's last reference.
class clsSocketMaster::Guard {
public:
    explicit Guard(clsSocketMaster &object) : m_object(object.shared_from_this()) { ++m_object->m_guards; }
    ~Guard() { --m_object->m_guards; }
    Guard(const Guard &) = delete;
    Guard &operator=(const Guard &) = delete;

private:
    std::shared_ptr<clsSocketMaster> m_object;
};

clsSocketMaster::Guard clsSocketMaster::Keep() { return Guard(*this); }

bool clsSocketMaster::HasClient() const { return weak_from_this().use_count() > m_guards; }

template <typename Signal, typename... Args>
void clsSocketMaster::Raise(Signal signal, Args... args)
{
    if (HasClient())
        (m_events.*signal)(args...);
}

void clsSocketMaster::RaiseError(int32_t number, const QString &source, QString description)
{
    m_state = sckError;
    if (!HasClient())
        return;
    if (description.isNull())
        description = modSocketMaster::GetErrorDescription(number);
    bool cancelDisplay = true;
    emit m_events.Error(static_cast<int16_t>(number), description, 0, source, QString(), 0, cancelDisplay);
    if (!cancelDisplay)
        platform::shell::MsgBox(description, platform::shell::vbOKOnly, source);
}

std::shared_ptr<clsSocketMaster> clsSocketMaster::Create() { return std::shared_ptr<clsSocketMaster>(new clsSocketMaster); }

clsSocketMaster::clsSocketMaster() { modSocketMaster::InitiateProcesses(); }

// What fails here is swallowed: a destructor that throws ends the program.
clsSocketMaster::~clsSocketMaster()
{
    CancelPendingResolutions();
    if (!m_acceptHolder) {
        try {
            DestroySocket();
        } catch (const Error &) {
        }
    }
    modSocketMaster::UnregisterObject(this);
    try {
        modSocketMaster::FinalizeProcesses();
    } catch (const Error &) {
    }
}

int32_t clsSocketMaster::WndProc(int32_t, uint32_t uMsg, uint32_t wParam, uint32_t lParam)
{
    const Guard guard = Keep();
    const auto event = static_cast<int32_t>(lParam & 0xFFFF);
    const auto error = static_cast<int32_t>(lParam >> 16);
    try {
        if (uMsg == modSocketMaster::LookupMessage)
            PostResolution(static_cast<int32_t>(wParam), error);
        else if (uMsg == modSocketMaster::SocketMessage)
            PostSocket(event, error);
    } catch (const Error &failure) {
        // Nobody called us who could catch it: the client hears of it as an event.
        RaiseError(failure.Number(), failure.Source(), failure.Description());
    }
    return 0;
}

void clsSocketMaster::setRemotePort(int32_t lngPort)
{
    if (!IsUDP() && m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "RemotePort");
    if (lngPort < 0 || lngPort > 65535)
        raise(sckBadArgument, BadArgumentText, "RemotePort");
    m_remotePort = lngPort;
}

void clsSocketMaster::setRemoteHost(const QString &strHost)
{
    if (!IsUDP() && m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "RemoteHost");
    m_remoteHost = strHost;
}

void clsSocketMaster::setLocalPort(int32_t lngPort)
{
    if (m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "LocalPort");
    if (lngPort < 0 || lngPort > 65535)
        raise(sckBadArgument, BadArgumentText, "LocalPort");
    m_localPort = lngPort;
}

void clsSocketMaster::setProtocol(int32_t enmProtocol)
{
    if (m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "Protocol");
    m_protocol = enmProtocol;
}

QString clsSocketMaster::LocalHostName() const
{
    QString name;
    if (const int32_t code = sockets::HostName(name))
        raiseSocketError(code, "GetLocalHostName");
    return name;
}

QString clsSocketMaster::LocalIP() const
{
    if (m_state == sckConnected)
        return m_localHostIP;
    const sockets::HostEntry entry = sockets::GetHostByName(LocalHostName().toLatin1());
    if (entry.error)
        raiseSocketError(entry.error, "GetLocalIP");
    return sockets::InetNtoa(entry.addresses.front());
}

int32_t clsSocketMaster::BytesReceived() const
{
    return IsUDP() ? GetPendingBytes() : static_cast<int32_t>(m_recvBuffer.size());
}

bool clsSocketMaster::SocketExists()
{
    if (m_socket != -1)
        return true;
    int32_t socket = -1;
    if (const int32_t code = sockets::OpenSocket(IsUDP() ? sockets::SocketType::Datagram : sockets::SocketType::Stream, socket)) {
        RaiseError(code, sourceOf("SocketExists"));
        return false;
    }
    m_socket = socket;
    ProcessOptions();
    return modSocketMaster::RegisterSocket(m_socket, this, true);
}

// The handle must be a socket (Accept takes any number); a UDP socket may send to broadcast
// addresses. No buffer sizes are kept: the system grows a connection's buffers while data
// streams, so each read takes what waits and each send offers everything queued.
void clsSocketMaster::ProcessOptions()
{
    if (const int32_t code = sockets::CheckSocket(m_socket))
        raiseSocketError(code, "ProcessOptions");
    if (IsUDP())
        sockets::EnableBroadcast(m_socket);
}

// On Linux the descriptor is released even when close reports an error, and its number is
// handed out again at once: the object lets go of it in every case.
void clsSocketMaster::DestroySocket()
{
    if (m_socket == -1)
        return;
    const int32_t code = sockets::CloseSocket(m_socket);
    modSocketMaster::UnregisterSocket(m_socket);
    m_socket = -1;
    if (code) {
        m_state = sckError;
        raiseSocketError(code, "DestroySocket");
    }
}

// A socket bound already keeps its binding: a UDP socket that met an error (state 9) is bound,
// and binding it again would fail with "Invalid argument" on every later send.
bool clsSocketMaster::BindInternal(const QVariant &varLocalPort, const QVariant &varLocalIP)
{
    if (m_state == sckOpen || hasLocalPort(m_socket))
        return true;
    const int32_t port = varLocalPort.isValid() ? portArgument(varLocalPort, 0, "BindInternal") : m_localPort;
    const Resolved local = resolveHostSync(varLocalIP.isValid() ? varLocalIP.toString() : QString());
    if (local.error)
        raise(sckBadArgument, InvalidArgumentText, "BindInternal");
    if (!SocketExists())
        return false;
    if (const int32_t code = sockets::Bind(m_socket, {local.address, static_cast<uint16_t>(port)}))
        raiseSocketError(code, "BindInternal");
    if (port != 0) {
        m_localPort = port;
        return true;
    }
    sockets::Endpoint bound;
    if (const int32_t code = sockets::LocalEndpoint(m_socket, bound))
        raiseSocketError(code, "BindInternal");
    m_localPortBind = bound.port;
    return true;
}

void clsSocketMaster::CloseSck()
{
    if (m_socket == -1)
        return;
    m_state = sckClosing;
    CancelPendingResolutions();
    DestroySocket();
    m_localPortBind = 0;
    m_remoteHostIP.clear();
    m_sendBuffer.Clear();
    m_recvBuffer.Clear();
    m_state = sckClosed;
}

void clsSocketMaster::Connect(const QVariant &RemoteHost, const QVariant &RemotePort)
{
    const Guard guard = Keep();
    if (m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "Connect");
    if (RemoteHost.isValid())
        m_remoteHost = RemoteHost.toString();
    if (RemotePort.isValid())
        m_remotePort = portArgument(RemotePort, 1, "Connect");
    if (!SocketExists() || !BindInternal())
        return;
    if (IsUDP()) {
        m_state = sckOpen;
        return;
    }
    ResolveIfHostname(m_remoteHost);
}

void clsSocketMaster::ResolveIfHostname(const QString &Host)
{
    if (const std::optional<uint32_t> address = sockets::InetAddr(Host)) {
        ConnectToIP(*address, 0);
        return;
    }
    m_state = sckResolvingHost;
    m_lookupBuffer = std::make_shared<sockets::HostEntry>();
    int32_t error = 0;
    const int32_t handle = modSocketMaster::ResolveHost(Host, m_lookupBuffer, this, error);
    if (!handle) {
        m_lookupBuffer.reset();
        RaiseError(error, sourceOf("ResolveIfHostname"));
        return;
    }
    m_pendingLookups.insert(handle);
}

void clsSocketMaster::PostResolution(int32_t lngAsynHandle, int32_t lngErrorCode)
{
    m_pendingLookups.erase(lngAsynHandle);
    modSocketMaster::UnregisterResolution(lngAsynHandle);
    if (m_state != sckResolvingHost)
        return;
    const std::shared_ptr<sockets::HostEntry> entry = std::move(m_lookupBuffer);
    if (lngErrorCode) {
        ConnectToIP(0, lngErrorCode);
        return;
    }
    m_state = sckHostResolved;
    ConnectToIP(entry->addresses.front(), 0);
}

void clsSocketMaster::ConnectToIP(uint32_t lngRemoteHostAddress, int32_t lngErrorCode)
{
    if (lngErrorCode) {
        RaiseError(lngErrorCode, sourceOf("ConnectToIP"));
        return;
    }
    m_state = sckConnecting;
    const int32_t code = sockets::Connect(m_socket, {lngRemoteHostAddress, static_cast<uint16_t>(m_remotePort)});
    if (code == 0 || code == sockets::WSAEWOULDBLOCK)
        return;
    if (code == sockets::WSAEADDRNOTAVAIL)
        raiseSocketError(code, "ConnectToIP");
    RaiseError(code, sourceOf("ConnectToIP"));
}

void clsSocketMaster::Bind(const QVariant &LocalPort, const QVariant &LocalIP)
{
    const Guard guard = Keep();
    if (m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "Bind");
    if (BindInternal(LocalPort, LocalIP))
        m_state = sckOpen;
}

void clsSocketMaster::Listen()
{
    const Guard guard = Keep();
    if (m_state != sckClosed && m_state != sckOpen)
        raise(sckInvalidOperation, InvalidOperationText, "Listen");
    if (!SocketExists() || !BindInternal())
        return;
    if (const int32_t code = sockets::Listen(m_socket, sockets::MaxBacklog))
        raiseSocketError(code, "Listen");
    m_state = sckListening;
}

void clsSocketMaster::PostSocket(int32_t lngEventID, int32_t lngErrorCode)
{
    if (lngErrorCode) {
        RaiseError(lngErrorCode, sourceOf("PostSocket"));
        return;
    }
    switch (lngEventID) {
    case sockets::FD_READ:
        if (!IsUDP() && m_state == sckConnected)
            RecvDataToBuffer();
        else if (IsUDP() && m_state == sckOpen)
            ReadDatagram();
        break;
    case sockets::FD_WRITE:
        if (m_state == sckConnected && !m_sendBuffer.isEmpty())
            FlushSendBuffer();
        break;
    case sockets::FD_ACCEPT:
        if (m_state == sckListening)
            AcceptConnection();
        break;
    case sockets::FD_CONNECT:
        if (m_state == sckConnecting) {
            GetLocalInfo();
            GetRemoteInfo(m_socket);
            m_state = sckConnected;
            Raise(&clsSocketMasterEvents::Connect);
        }
        break;
    case sockets::FD_CLOSE:
        if (m_state == sckConnected) {
            m_state = sckClosing;
            Raise(&clsSocketMasterEvents::CloseSck);
        }
        break;
    default: break;
    }
}

void clsSocketMaster::AcceptConnection()
{
    int32_t accepted = -1;
    const int32_t code = sockets::Accept(m_socket, accepted);
    if (code == sockets::WSAEWOULDBLOCK)
        return; // the waiting connection was given up before it could be taken
    if (code) {
        RaiseError(code, sourceOf("PostSocket"));
        return;
    }
    modSocketMaster::RegisterAccept(accepted);
    const QString host = m_remoteHost;
    const QString address = m_remoteHostIP;
    const int32_t port = m_remotePort;
    GetRemoteInfo(accepted);
    Raise(&clsSocketMasterEvents::ConnectionRequest, accepted);
    if (m_state == sckListening) {
        m_remoteHost = host;
        m_remoteHostIP = address;
        m_remotePort = port;
    }
    if (modSocketMaster::IsAcceptRegistered(accepted)) {
        sockets::CloseSocket(accepted);
        modSocketMaster::UnregisterSocket(accepted);
        modSocketMaster::UnregisterAccept(accepted);
    }
}

void clsSocketMaster::Accept(int32_t requestID)
{
    const Guard guard = Keep();
    if (m_state != sckClosed)
        raise(sckInvalidOperation, InvalidOperationText, "Accept");
    m_protocol = sckTCPProtocol;
    m_socket = requestID;
    try {
        ProcessOptions();
    } catch (const Error &) {
        // Not a socket: the object must not close that descriptor later.
        m_socket = -1;
        throw;
    }
    if (modSocketMaster::IsAcceptRegistered(requestID)) {
        const std::shared_ptr<clsSocketMaster> holder = modSocketMaster::GetAcceptClass(requestID);
        modSocketMaster::UnregisterAccept(requestID);
        GetLocalInfo();
        GetRemoteInfo(m_socket);
        m_state = sckConnected;
        m_recvBuffer.Append(holder->m_recvBuffer.Take(holder->m_recvBuffer.size()));
        modSocketMaster::ModifySocketObject(requestID, this);
        if (!m_recvBuffer.isEmpty())
            Raise(&clsSocketMasterEvents::DataArrival, static_cast<int32_t>(m_recvBuffer.size()));
        if (holder->m_state == sckClosing && m_state == sckConnected) {
            m_state = sckClosing;
            Raise(&clsSocketMasterEvents::CloseSck);
        }
        return;
    }
    if (!modSocketMaster::IsSocketRegistered(requestID)) {
        m_acceptHolder = true;
        m_state = sckConnected;
        GetLocalInfo();
        modSocketMaster::RegisterSocket(requestID, this, false);
        return;
    }
    m_socket = -1;
    raise(sckWrongState, WrongStateText, "Accept");
}

void clsSocketMaster::CancelPendingResolutions()
{
    for (auto handle = m_pendingLookups.begin(); handle != m_pendingLookups.end();) {
        if (sockets::CancelAsyncRequest(*handle) != 0) {
            ++handle; // finished already: PostResolution will find the object out of state 4
            continue;
        }
        modSocketMaster::UnregisterResolution(*handle);
        handle = m_pendingLookups.erase(handle);
    }
    if (m_pendingLookups.empty())
        m_lookupBuffer.reset();
}

void clsSocketMaster::GetLocalInfo()
{
    sockets::Endpoint local;
    const bool known = sockets::LocalEndpoint(m_socket, local) == 0;
    m_localPortBind = known ? local.port : 0;
    m_localHostIP = known ? sockets::InetNtoa(local.address) : QString();
}

void clsSocketMaster::GetRemoteInfo(int32_t socket)
{
    sockets::Endpoint peer;
    const bool known = sockets::PeerEndpoint(socket, peer) == 0;
    m_remotePort = known ? peer.port : 0;
    m_remoteHostIP = known ? sockets::InetNtoa(peer.address) : QString();
    m_remoteHost.clear();
}

void clsSocketMaster::SendData(const QVariant &Data)
{
    const Guard guard = Keep();
    if (IsUDP()) {
        if (!SocketExists() || !BindInternal())
            return;
        m_state = sckOpen;
    } else if (m_state != sckConnected) {
        raise(sckWrongState, WrongStateText, "SendData");
    }
    const std::optional<QByteArray> bytes = SocketBytes::Of(Data);
    if (!bytes)
        raise(sckUnsupportedType, UnsupportedTypeText, "SendData");
    if (bytes->isEmpty())
        return;
    const bool idle = m_sendBuffer.isEmpty();
    m_sendBuffer.Append(*bytes);
    if (idle)
        FlushSendBuffer();
}

void clsSocketMaster::FlushSendBuffer()
{
    if (IsUDP())
        SendBufferedDataUDP();
    else
        SendBufferedData();
}

// Offers everything queued until the network takes no more (it takes what fits in its buffer);
// the write notification resumes it.
void clsSocketMaster::SendBufferedData()
{
    int32_t sentNow = 0;
    while (!m_sendBuffer.isEmpty()) {
        const auto offered = static_cast<int32_t>(std::min<qsizetype>(m_sendBuffer.size(), INT32_MAX));
        int32_t sent = 0;
        const int32_t code = sockets::Send(m_socket, m_sendBuffer.data(), offered, sent);
        if (code == sockets::WSAEWOULDBLOCK) {
            if (sentNow > 0)
                Raise(&clsSocketMasterEvents::SendProgress, sentNow, static_cast<int32_t>(m_sendBuffer.size()));
            return;
        }
        if (code) {
            RaiseError(code, sourceOf("SendBufferedData"));
            return;
        }
        sentNow += sent;
        if (sent == m_sendBuffer.size()) {
            m_sendBuffer.Clear();
            Raise(&clsSocketMasterEvents::SendProgress, sentNow, 0);
            Raise(&clsSocketMasterEvents::SendComplete);
            return;
        }
        m_sendBuffer.Drop(sent);
    }
}

void clsSocketMaster::SendBufferedDataUDP()
{
    const Resolved remote = resolveHostSync(m_remoteHost);
    if (remote.error) {
        m_sendBuffer.Clear();
        if (remote.error == sockets::WSAEAFNOSUPPORT)
            raiseSocketError(remote.error, "SendBufferedDataUDP");
        raise(sckBadArgument, InvalidArgumentText, "SendBufferedDataUDP");
    }
    const QByteArray datagram = m_sendBuffer.Take(m_sendBuffer.size());
    if (const int32_t code = sockets::SendTo(m_socket, datagram.constData(), static_cast<int32_t>(datagram.size()),
                                             {remote.address, static_cast<uint16_t>(m_remotePort)}))
        RaiseError(code, sourceOf("SendBufferedDataUDP"));
}

// One receive of everything that waits (room for one byte at least, so that the end of the
// stream or a failure shows): the network reports again when more comes.
void clsSocketMaster::RecvDataToBuffer()
{
    const int32_t waiting = std::max(GetPendingBytes(), 1);
    char *room = m_recvBuffer.Reserve(waiting);
    int32_t received = 0;
    const int32_t code = sockets::Receive(m_socket, room, waiting, received);
    m_recvBuffer.Commit(waiting, code ? 0 : received);
    if (code == sockets::WSAEWOULDBLOCK)
        return;
    if (code) {
        m_state = sckError;
        raiseSocketError(code, "RecvDataToBuffer");
    }
    if (received > 0)
        Raise(&clsSocketMasterEvents::DataArrival, static_cast<int32_t>(m_recvBuffer.size()));
}

// A datagram waits. The one that was announced is dropped afterwards only when the handler did
// not read it, so that a handler that reads costs no datagram behind it.
void clsSocketMaster::ReadDatagram()
{
    const int32_t waiting = GetPendingBytes();
    m_datagramRead = false;
    if (waiting > 0)
        Raise(&clsSocketMasterEvents::DataArrival, waiting);
    if (!m_datagramRead && m_socket != -1)
        DiscardDatagram();
}

int32_t clsSocketMaster::GetPendingBytes() const
{
    int32_t bytes = 0;
    return sockets::PendingBytes(m_socket, bytes) == 0 ? bytes : 0;
}

void clsSocketMaster::DiscardDatagram()
{
    char byte;
    int32_t received = 0;
    sockets::Endpoint from;
    sockets::ReceiveFrom(m_socket, &byte, 1, false, received, from);
    m_datagramRead = true;
}

void clsSocketMaster::GetData(QVariant &Data, int32_t *varType, QVariant *maxLen)
{
    ReadData(Data, varType, maxLen, false, "GetData");
}

void clsSocketMaster::PeekData(QVariant &Data, int32_t *varType, QVariant *maxLen)
{
    ReadData(Data, varType, maxLen, true, "PeekData");
}

void clsSocketMaster::ReadData(QVariant &Data, int32_t *varType, QVariant *maxLen, bool blnPeek, const char *procedure)
{
    const bool ready = IsUDP() ? m_state == sckOpen : m_state == sckConnected || (!blnPeek && m_acceptHolder);
    if (!ready)
        raise(sckWrongState, WrongStateText, procedure);
    const int32_t available = BytesReceived();
    if (IsUDP() && available == 0)
        return;
    if (maxLen && !IsNumeric(*maxLen))
        *maxLen = available;
    else if (maxLen && NumberOf(*maxLen) < 0)
        raise(sckBadArgument, BadArgumentText, procedure);
    RecvData(Data, blnPeek, varType, maxLen, available);
}

// available: what BytesReceived gave the caller just before (for UDP a call to the system).
void clsSocketMaster::RecvData(QVariant &Data, bool blnPeek, int32_t *varType, QVariant *maxLen, int32_t available)
{
    int32_t type = vbByteArray;
    if (Data.isValid())
        type = VarTypeOf(Data);
    else if (varType)
        type = *varType;
    if (varType)
        *varType = type;

    int32_t count = SocketBytes::FixedSize(type);
    if (type == vbString || type == vbByteArray) {
        count = maxLen ? static_cast<int32_t>(std::min<double>(NumberOf(*maxLen), available)) : available;
        if (count == 0) {
            Data = emptyOf(type);
            if (maxLen && IsUDP()) {
                DiscardDatagram();
                raiseSocketError(sockets::WSAEMSGSIZE, "RecvData");
            }
            return;
        }
    } else if (count == 0) {
        raise(sckUnsupportedType, UnsupportedTypeText, "RecvData");
    } else if (available < count) {
        return;
    }

    int32_t error = 0;
    const QByteArray bytes = BuildArray(count, blnPeek, error);
    if (type == vbString)
        Data = QString::fromLatin1(bytes);
    else if (type == vbByteArray)
        Data = bytes;
    else
        Data = SocketBytes::ValueOf(type, bytes);
    if (error)
        raiseSocketError(error, "RecvData");
}

// The first lngSize bytes: TCP from the receive buffer, UDP one datagram from the socket (zeros
// where it is shorter), whose sender becomes the remote end.
QByteArray clsSocketMaster::BuildArray(int32_t lngSize, bool blnPeek, int32_t &lngError)
{
    if (!IsUDP())
        return blnPeek ? m_recvBuffer.Peek(lngSize) : m_recvBuffer.Take(lngSize);
    QByteArray bytes(lngSize, '\0');
    int32_t received = 0;
    sockets::Endpoint from;
    lngError = sockets::ReceiveFrom(m_socket, bytes.data(), lngSize, blnPeek, received, from);
    if (lngError == 0 || lngError == sockets::WSAEMSGSIZE) {
        m_remotePort = from.port;
        m_remoteHostIP = sockets::InetNtoa(from.address);
        m_remoteHost.clear();
        m_datagramRead = m_datagramRead || !blnPeek;
    }
    return bytes;
}
