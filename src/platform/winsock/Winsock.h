#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class QTcpSocket;

namespace platform::winsock {

// The Winsock control as the update check uses it: a TCP client that connects to RemoteHost on
// RemotePort, sends and reads text, and reports through events. Text crosses the network one
// byte per character (ISO 8859-1).
class Winsock : public QObject {
    Q_OBJECT

public:
    // The control's states, with its numbers.
    enum StateConstants : int32_t {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };

    explicit Winsock(QObject *parent = nullptr);
    ~Winsock() override;

    int32_t State() const { return m_state; }
    QString RemoteHost() const { return m_remoteHost; }
    void setRemoteHost(const QString &host) { m_remoteHost = host; }
    int32_t RemotePort() const { return m_remotePort; }
    void setRemotePort(int32_t port) { m_remotePort = port; }

    // Starts connecting to RemoteHost:RemotePort; raises support::Error 40020 unless closed.
    void Connect();
    // Sends the text; raises support::Error 40006 unless connected.
    void SendData(const QString &data);
    // Everything received and not yet read.
    QString GetData();
    // Closes the connection; the control is closed afterwards, whatever its state.
    void Close();

signals:
    void ConnectEvent();
    // bytesTotal: the bytes now waiting to be read.
    void DataArrival(int32_t bytesTotal);
    void Error(int32_t Number, const QString &Description);

private:
    void onStateChanged();
    void onError();

    QTcpSocket *m_socket;
    QString m_remoteHost;
    int32_t m_remotePort = 0;
    int32_t m_state = sckClosed;
};

} // namespace platform::winsock
