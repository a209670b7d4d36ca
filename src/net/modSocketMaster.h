#pragma once

#include "platform/sockets/HostLookup.h"

#include <QString>

#include <cstdint>
#include <memory>

class clsSocketMaster;

// What all socket objects of the process share: the start-up count of the socket functions, the
// one hidden message window "SOCKET_WINDOW" that receives the notifications of every socket
// (message 0x8001) and every host lookup (message 0x8000), the two routing tables that lead a
// notification to the object it belongs to, the accept holders, and the texts of the socket
// error codes. The socket objects call it; clients use clsSocketMaster. GUI thread only.
namespace modSocketMaster {

constexpr uint32_t LookupMessage = 0x8000; // wParam: lookup handle; lParam high word: error
constexpr uint32_t SocketMessage = 0x8001; // wParam: socket; lParam: event, high word: error

// Counts a socket object in; the first starts the socket functions. A start that fails raises
// its code with source "modSocketMaster.InitiateProcesses" (and no later object tries again).
int32_t InitiateProcesses();
// Counts a socket object out; after the last the socket functions are cleaned up. A clean-up
// that fails raises its code with source "modSocketMaster.FinalizeProcesses".
int32_t FinalizeProcesses();

// The English text of a socket error code; "Unknown error." for a code without one.
QString GetErrorDescription(int32_t lngErrorCode);

// Registers lngSocket for objSocket, so that its notifications reach objSocket->WndProc, and,
// with blnEvents, asks for its read, write, accept, connect and close notifications. The first
// registration creates the message window. A failed request raises its code with source
// "modSocketMaster.RegisterSocket" (the socket then stays in the routing table).
bool RegisterSocket(int32_t lngSocket, clsSocketMaster *objSocket, bool blnEvents);
// Removes the registration; after the last one the message window is destroyed.
void UnregisterSocket(int32_t lngSocket);
bool IsSocketRegistered(int32_t lngSocket);

// Starts looking strHost up for objSocket: the result goes into buffer and the message
// reaches objSocket->WndProc. Returns the lookup handle, or 0 with the reason in lngError.
int32_t ResolveHost(const QString &strHost, std::shared_ptr<platform::sockets::HostEntry> buffer,
                    clsSocketMaster *objSocket, int32_t &lngError);
// Removes the lookup from the routing table: its message, if it still comes, reaches nobody.
void UnregisterResolution(int32_t lngAsynHandle);

// Makes an accept holder: a socket object that keeps the accepted lngSocket, with what it
// receives and whether the peer closed, until a client takes it over with Accept.
void RegisterAccept(int32_t lngSocket);
bool IsAcceptRegistered(int32_t lngSocket);
// The holder of lngSocket; empty when none holds it.
std::shared_ptr<clsSocketMaster> GetAcceptClass(int32_t lngSocket);
// Gives the holder of lngSocket up (it goes unless the caller still has it).
void UnregisterAccept(int32_t lngSocket);
// Points the routing entry of lngSocket at objSocket.
void ModifySocketObject(int32_t lngSocket, clsSocketMaster *objSocket);

// Frees every routing entry that still leads to objSocket, as it is released: a lookup whose
// cancellation came too late, the socket of a holder nobody took over. No entry outlives its
// object.
void UnregisterObject(clsSocketMaster *objSocket);

// The message window's handle, 0 while there is none.
int32_t MessageWindowHandle();
// The slots of the socket routing table, free ones included (freed slots are reused first).
int32_t SocketTableCount();

} // namespace modSocketMaster
