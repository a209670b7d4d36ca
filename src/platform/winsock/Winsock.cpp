#include "platform/winsock/Winsock.h"

#include "platform/sockets/SocketErrors.h"
#include "support/Error.h"

#include <QTcpSocket>

namespace platform::winsock {

namespace {

const QString Source = QStringLiteral("Winsock");

// The Windows Sockets numbers the control reports its failures with.
int32_t errorNumber(QAbstractSocket::SocketError error)
{
    using namespace platform::sockets;
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return WSAECONNREFUSED;
    case QAbstractSocket::HostNotFoundError:
        return WSAHOST_NOT_FOUND;
    case QAbstractSocket::SocketTimeoutError:
        return WSAETIMEDOUT;
    case QAbstractSocket::NetworkError:
        return WSAENETUNREACH;
    default:
        return WSAECONNABORTED;
    }
}

} // namespace

Winsock::Winsock(QObject *parent) : QObject(parent), m_socket(new QTcpSocket(this))
{
    connect(m_socket, &QTcpSocket::stateChanged, this, &Winsock::onStateChanged);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &Winsock::onError);
    connect(m_socket, &QTcpSocket::readyRead, this,
            [this] { emit DataArrival(static_cast<int32_t>(m_socket->bytesAvailable())); });
}

Winsock::~Winsock() = default;

void Winsock::Connect()
{
    if (m_state != sckClosed)
        throw support::Error(40020, QStringLiteral("Invalid operation at current state"), Source);
    m_state = sckResolvingHost;
    m_socket->connectToHost(m_remoteHost, static_cast<quint16>(m_remotePort));
}

void Winsock::SendData(const QString &data)
{
    if (m_state != sckConnected)
        throw support::Error(40006, QStringLiteral("Wrong protocol or connection state for the requested transaction or request"),
                             Source);
    m_socket->write(data.toLatin1());
}

QString Winsock::GetData() { return QString::fromLatin1(m_socket->readAll()); }

void Winsock::Close()
{
    m_state = sckClosed; // first: the abort below reports the state change at once
    m_socket->abort();
}

void Winsock::onStateChanged()
{
    switch (m_socket->state()) {
    case QAbstractSocket::HostLookupState:
        m_state = sckResolvingHost;
        break;
    case QAbstractSocket::ConnectingState:
        m_state = sckConnecting;
        break;
    case QAbstractSocket::ConnectedState:
        m_state = sckConnected;
        emit ConnectEvent();
        break;
    case QAbstractSocket::UnconnectedState:
        // The peer closed a connection we had: the control waits in "closing" until Close, and
        // what the peer sent can still be read.
        if (m_state == sckConnected)
            m_state = sckClosing;
        break;
    default:
        break;
    }
}

void Winsock::onError()
{
    if (m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    m_state = sckError;
    emit Error(errorNumber(m_socket->error()), m_socket->errorString());
}

} // namespace platform::winsock
