#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

// The events of one clsSocketMaster (see there), as signals. Connect to them directly (the
// default connection type): they are raised synchronously while the object handles a
// notification or a call, and the reference parameters (Description, CancelDisplay) are the
// object's own variables, read back after the handlers have returned.
class clsSocketMasterEvents : public QObject {
    Q_OBJECT

signals:
    // The peer closed the connection (state 8). Every byte it sent before has been reported by
    // DataArrival already.
    void CloseSck();
    // The connection is established (state 7).
    void Connect();
    // A listening socket accepted a connection; call Accept(requestID) on an object in state 0
    // within the handler (or after letting the message loop run) to take it over. A connection
    // nobody takes is closed when the handler returns.
    void ConnectionRequest(int32_t requestID);
    // TCP: bytesTotal is every byte now waiting to be read with GetData, not only the new ones.
    // UDP: the size of the datagram waiting.
    void DataArrival(int32_t bytesTotal);
    // Something failed while the network worked on its own; the state is 9 already. Number is
    // the socket error code, Description its text, Source "clsSocketMaster." + the procedure,
    // sCode and HelpContext 0, HelpFile "". CancelDisplay is true when the handlers are called;
    // a handler that sets it to false asks for a message box with the description, titled with
    // the source.
    void Error(int16_t Number, QString &Description, int32_t sCode, const QString &Source, const QString &HelpFile,
               int32_t HelpContext, bool &CancelDisplay);
    // The send buffer has been emptied.
    void SendComplete();
    // A part of the send buffer went out: bytesSent in this go, bytesRemaining still queued.
    void SendProgress(int32_t bytesSent, int32_t bytesRemaining);
};
