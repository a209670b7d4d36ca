#pragma once

#include "net/ByteQueue.h"
#include "net/clsSocketMasterEvents.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <set>

namespace platform::sockets {
struct HostEntry;
}

// An event-driven TCP or UDP socket. Nothing waits on the network: host lookups, connects,
// reads, writes, accepts and closes are reported through the events (Events()) while the GUI
// thread's event loop runs. GUI thread only.
//
// Objects live in std::shared_ptr (Create). Dropping the last reference closes the socket; a
// client may drop it from inside an event handler: the object then lives until the handling of
// that notification or call has returned, and raises no further event.
//
// A TCP client:
//     moSocket = clsSocketMaster::Create();
//     connect(moSocket->Events(), &clsSocketMasterEvents::DataArrival, this, &Client::moSocket_DataArrival);
//     moSocket->Connect(QStringLiteral("example.org"), 80); // a name or a dotted address
//     ... on Connect: moSocket->SendData(request);            // a QString goes out as ISO 8859-1
//     ... on DataArrival: QVariant data = QString(); moSocket->GetData(data); // everything buffered
//     ... on CloseSck or Error: moSocket.reset();
// Events of one connection come in this order: Connect; SendProgress and SendComplete (inside
// SendData when the network takes everything at once, else on later notifications);
// DataArrival any number of times; CloseSck. Error may come at any point; after it the state
// is 9 and nothing but CloseSck (the member) leaves that state, except that a UDP socket's next
// SendData sends as usual (state 1).
//
// Values cross the network as bytes: see SendData and GetData for the types. Text is one byte
// per character (ISO 8859-1) both ways, so every byte value survives a round trip through text.
//
// Members raise support::Error with the number, description and source
// ("clsSocketMaster." + the procedure) of the failure:
//   40006 "Wrong protocol or connection state for the requested transaction or request"
//   40014 "The argument passed to a function was not in the correct format or in the specified
//         range." (or "Invalid argument" for an address text that does not resolve)
//   40018 "Unsupported variant type."
//   40020 "Invalid operation at current state"
//   a socket error code with its text (modSocketMaster::GetErrorDescription).
class clsSocketMaster : public std::enable_shared_from_this<clsSocketMaster> {
public:
    enum ProtocolConstants : int32_t { sckTCPProtocol = 0, sckUDPProtocol = 1 };
    enum StateConstants : int32_t {
        sckClosed = 0,
        sckOpen = 1, // bound; a UDP socket ready to send and receive
        sckListening = 2,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7, // also an accept holder
        sckClosing = 8,   // the peer closed, or CloseSck is under way
        sckError = 9,
    };

    // A new object: no socket, state 0, TCP. Counts it in with modSocketMaster.
    static std::shared_ptr<clsSocketMaster> Create();
    ~clsSocketMaster();
    clsSocketMaster(const clsSocketMaster &) = delete;
    clsSocketMaster &operator=(const clsSocketMaster &) = delete;

    // The object's events.
    clsSocketMasterEvents *Events() { return &m_events; }

    // Entry for modSocketMaster's routing, not for clients: 0x8000 a finished lookup
    // (wParam handle, error in the high word of lParam), 0x8001 a socket notification (event in
    // the low word, error in the high word). Failures met while handling them come out as the
    // Error event.
    int32_t WndProc(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam);

    // Port to connect or send to; after a connect, accept or UDP read the peer's port. Set:
    // 40020 for TCP in any state but 0, 40014 outside 0..65535.
    int32_t RemotePort() const { return m_remotePort; }
    void setRemotePort(int32_t lngPort);
    // Host name or dotted address to connect or send to; empty after a connect or accept.
    // Set: 40020 for TCP in any state but 0.
    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &strHost);
    // The peer's dotted address once connected, accepted or after a UDP read.
    QString RemoteHostIP() const { return m_remoteHostIP; }
    // The local port: the one the system gave or the connection uses, else the one set. Set:
    // 40020 in any state but 0, 40014 outside 0..65535; 0 means any.
    int32_t LocalPort() const { return m_localPortBind ? m_localPortBind : m_localPort; }
    void setLocalPort(int32_t lngPort);
    int32_t State() const { return m_state; }
    // This computer's host name; its first address (or, connected, the connection's own).
    QString LocalHostName() const;
    QString LocalIP() const;
    // TCP: the bytes waiting for GetData; UDP: the size of the datagram waiting.
    int32_t BytesReceived() const;
    // The socket's descriptor, -1 when there is none.
    int32_t SocketHandle() const { return m_socket; }
    QString Tag() const { return m_tag; }
    void setTag(const QString &strTag) { m_tag = strTag; }
    // 0 TCP, 1 UDP. Set: 40020 in any state but 0.
    int32_t Protocol() const { return m_protocol; }
    void setProtocol(int32_t enmProtocol);

    // Closes the socket, cancels a lookup under way and resets the object to state 0, without
    // any event. Without a socket it does nothing, in any state.
    void CloseSck();
    // TCP: connects to RemoteHost (a dotted address at once, state 6; a name after a lookup,
    // state 4) on RemotePort; the Connect event follows (state 7). UDP: opens the socket for
    // sending to that peer (state 1). Given arguments replace the properties first; an invalid
    // QVariant counts as not given. 40020 in any state but 0; a port that is not numeric 40018,
    // outside 1..65535 40014 (a host given with it has been stored already).
    void Connect(const QVariant &RemoteHost = {}, const QVariant &RemotePort = {});
    // Binds to a local port (not given: LocalPort; 0: any) and address text (not given or empty:
    // any); state 1. 40020 in any state but 0.
    void Bind(const QVariant &LocalPort = {}, const QVariant &LocalIP = {});
    // Queues the bytes of Data and sends what the network takes. TCP needs state 7 (else 40006);
    // UDP binds when needed and sends one datagram to RemoteHost:RemotePort. Bytes by type:
    // uint8_t 1; int16_t 2; bool 2 (FF FF or 00 00); int32_t 4; float 4; double 8;
    // support::Currency 8; QDateTime 8 (its day count since 30 December 1899 as a double); all
    // little-endian; QString its characters as ISO 8859-1; QByteArray its bytes. An empty text
    // or array sends nothing; any other type raises 40018.
    void SendData(const QVariant &Data);
    // Reads buffered data into Data and removes it. The type read is Data's own type when Data
    // holds a value, else *varType, else a byte array; it is written back to *varType. Text and
    // byte arrays take everything waiting, or at most *maxLen bytes; a *maxLen that is not a
    // number is replaced by the count waiting, one below 0 raises 40014. A fixed-size type with
    // fewer bytes waiting leaves Data and the buffer alone. UDP reads one datagram and sets
    // RemoteHostIP and RemotePort to its sender; maxLen 0 drops it and raises 10040. TCP needs
    // state 7 (or an accept holder), UDP state 1, else 40006.
    void GetData(QVariant &Data, int32_t *varType = nullptr, QVariant *maxLen = nullptr);
    // As GetData, but the data stays. TCP needs state 7.
    void PeekData(QVariant &Data, int32_t *varType = nullptr, QVariant *maxLen = nullptr);
    // Listens for TCP connections (binding first when not bound), with the longest queue of
    // pending connections the system allows; state 2. ConnectionRequest reports each one. 40020
    // in any state but 0 or 1.
    void Listen();
    // Takes over the connection that ConnectionRequest announced; state 7. Bytes received and
    // a close by the peer meanwhile are reported at once (DataArrival, CloseSck). 40020 in any
    // state but 0; 40006 for a socket another object has.
    void Accept(int32_t requestID);

private:
    clsSocketMaster();

    class Guard;
    Guard Keep();
    bool HasClient() const;

    // Raising events: nothing once no client holds the object.
    template <typename Signal, typename... Args>
    void Raise(Signal signal, Args... args);
    void RaiseError(int32_t number, const QString &source, QString description = {});

    bool SocketExists();
    void ProcessOptions();
    void DestroySocket();
    bool BindInternal(const QVariant &varLocalPort = {}, const QVariant &varLocalIP = {});
    void ResolveIfHostname(const QString &Host);
    void PostResolution(int32_t lngAsynHandle, int32_t lngErrorCode);
    void ConnectToIP(uint32_t lngRemoteHostAddress, int32_t lngErrorCode);
    void PostSocket(int32_t lngEventID, int32_t lngErrorCode);
    void AcceptConnection();
    void CancelPendingResolutions();
    void GetLocalInfo();
    void GetRemoteInfo(int32_t socket);

    void FlushSendBuffer();
    void SendBufferedData();
    void SendBufferedDataUDP();
    void RecvDataToBuffer();
    void ReadDatagram();
    int32_t GetPendingBytes() const;
    void DiscardDatagram();
    void ReadData(QVariant &Data, int32_t *varType, QVariant *maxLen, bool blnPeek, const char *procedure);
    void RecvData(QVariant &Data, bool blnPeek, int32_t *varType, QVariant *maxLen, int32_t available);
    QByteArray BuildArray(int32_t lngSize, bool blnPeek, int32_t &lngError);
    bool IsUDP() const { return m_protocol == sckUDPProtocol; }

    clsSocketMasterEvents m_events;
    int32_t m_socket = -1;
    int32_t m_state = sckClosed;
    QString m_tag;
    QString m_remoteHost;
    int32_t m_remotePort = 0;
    QString m_remoteHostIP;
    int32_t m_localPort = 0;     // requested
    int32_t m_localPortBind = 0; // given by the system, or the connection's own
    QString m_localHostIP;
    int32_t m_protocol = sckTCPProtocol;
    std::shared_ptr<platform::sockets::HostEntry> m_lookupBuffer;
    ByteQueue m_sendBuffer;
    ByteQueue m_recvBuffer;
    bool m_acceptHolder = false;
    std::set<int32_t> m_pendingLookups;
    int m_guards = 0;           // notifications and calls under way that keep the object alive
    bool m_datagramRead = false; // a DataArrival handler read the datagram it was told about
};
