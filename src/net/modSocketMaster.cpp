#include "net/modSocketMaster.h"

#include "net/clsSocketMaster.h"
#include "platform/sockets/MessageWindow.h"
#include "platform/sockets/Sockets.h"
#include "platform/sockets/SocketWatch.h"
#include "support/Error.h"

#include <QHash>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace modSocketMaster {

namespace {

using platform::sockets::MessageWindow;
using platform::sockets::WindowProcedure;

// A routing table: slots of a handle and the object it belongs to, numbered from 1 in the order
// they were added. A freed slot holds -1 and is reused before the table grows.
struct Slot {
    int32_t handle;
    clsSocketMaster *object;
};
using Table = std::vector<Slot>;

struct ModuleState {
    bool started = false;
    int32_t userCount = 0;
    std::optional<std::set<int32_t>> registeredSockets;
    std::map<int32_t, std::shared_ptr<clsSocketMaster>> acceptHolders;
    int32_t window = 0;
    Table lookups;
    Table sockets;
    int32_t hookedWindow = 0;
    WindowProcedure previousProcedure;
};

ModuleState &state()
{
    static ModuleState module;
    return module;
}

void addToTable(Table &table, int32_t handle, clsSocketMaster *object)
{
    for (Slot &slot : table) {
        if (slot.handle == -1) {
            slot = {handle, object};
            return;
        }
        if (slot.handle == handle)
            return; // registered twice: the first object keeps it
    }
    table.push_back({handle, object});
}

Slot *findSlot(Table &table, int32_t handle)
{
    for (Slot &slot : table)
        if (slot.handle == handle)
            return &slot;
    return nullptr;
}

void delFromTable(Table &table, int32_t handle)
{
    if (Slot *slot = findSlot(table, handle))
        *slot = {-1, nullptr};
}

// The procedure of the message window: a finished lookup goes to the object in the lookup
// table, a socket notification to the one in the socket table, by the handle in wParam; a handle
// missing from its table reaches nobody. The object may be released inside its WndProc, and with
// it the last socket and the window: nothing is touched after the call.
int32_t routingProcedure(int32_t hwnd, uint32_t uMsg, uint32_t wParam, uint32_t lParam)
{
    ModuleState &module = state();
    if (uMsg != LookupMessage && uMsg != SocketMessage)
        return module.previousProcedure ? module.previousProcedure(hwnd, uMsg, wParam, lParam) : 0;
    Table &table = uMsg == LookupMessage ? module.lookups : module.sockets;
    const Slot *slot = findSlot(table, static_cast<int32_t>(wParam));
    return slot ? slot->object->WndProc(hwnd, uMsg, wParam, lParam) : 0;
}

void subclass(int32_t window)
{
    ModuleState &module = state();
    if (module.hookedWindow)
        return;
    module.hookedWindow = window;
    module.previousProcedure = MessageWindow::SetProcedure(window, routingProcedure);
}

void unSubclass()
{
    ModuleState &module = state();
    if (!module.hookedWindow)
        return;
    module.lookups.clear();
    module.sockets.clear();
    MessageWindow::SetProcedure(module.hookedWindow, module.previousProcedure);
    module.hookedWindow = 0;
}

void destroyWinsockMessageWindow()
{
    ModuleState &module = state();
    if (module.window)
        MessageWindow::Destroy(module.window);
    module.window = 0;
}

[[noreturn]] void raiseSocketError(int32_t code, const char *procedure)
{
    throw support::Error(code, GetErrorDescription(code), QStringLiteral("modSocketMaster.") + QLatin1String(procedure));
}

} // namespace

int32_t InitiateProcesses()
{
    ModuleState &module = state();
    ++module.userCount;
    if (!module.started) {
        module.started = true;
        if (const int32_t code = platform::sockets::Startup(0x0101))
            raiseSocketError(code, "InitiateProcesses");
    }
    return 0;
}

int32_t FinalizeProcesses()
{
    ModuleState &module = state();
    --module.userCount;
    if (module.userCount == 0 && module.started) {
        if (const int32_t code = platform::sockets::Cleanup())
            raiseSocketError(code, "FinalizeProcesses");
        unSubclass();
        module.lookups.clear();
        module.sockets.clear();
        module.started = false;
    }
    return 0;
}

QString GetErrorDescription(int32_t lngErrorCode)
{
    static const QHash<int32_t, QString> texts = {
        {10004, QStringLiteral("Interrupted function call.")},
        {10013, QStringLiteral("Permission denied.")},
        {10014, QStringLiteral("Bad address.")},
        {10022, QStringLiteral("Invalid argument.")},
        {10024, QStringLiteral("Too many open files.")},
        {10035, QStringLiteral("Resource temporarily unavailable.")},
        {10036, QStringLiteral("Operation now in progress.")},
        {10037, QStringLiteral("Operation already in progress.")},
        {10038, QStringLiteral("Socket operation on nonsocket.")},
        {10039, QStringLiteral("Destination address required.")},
        {10040, QStringLiteral("Message too long.")},
        {10041, QStringLiteral("Protocol wrong type for socket.")},
        {10042, QStringLiteral("Bad protocol option.")},
        {10043, QStringLiteral("Protocol not supported.")},
        {10044, QStringLiteral("Socket type not supported.")},
        {10045, QStringLiteral("Operation not supported.")},
        {10046, QStringLiteral("Protocol family not supported.")},
        {10047, QStringLiteral("Address family not supported by protocol family.")},
        {10048, QStringLiteral("Address already in use.")},
        {10049, QStringLiteral("Cannot assign requested address.")},
        {10050, QStringLiteral("Network is down.")},
        {10051, QStringLiteral("Network is unreachable.")},
        {10052, QStringLiteral("Network dropped connection on reset.")},
        {10053, QStringLiteral("Software caused connection abort.")},
        {10054, QStringLiteral("Connection reset by peer.")},
        {10055, QStringLiteral("No buffer space available.")},
        {10056, QStringLiteral("Socket is already connected.")},
        {10057, QStringLiteral("Socket is not connected.")},
        {10058, QStringLiteral("Cannot send after socket shutdown.")},
        {10060, QStringLiteral("Connection timed out.")},
        {10061, QStringLiteral("Connection refused.")},
        {10065, QStringLiteral("No route to host.")},
        {10067, QStringLiteral("Too many processes.")},
        {10091, QStringLiteral("Network subsystem is unavailable.")},
        {10092, QStringLiteral("Winsock.dll version out of range.")},
        {10093, QStringLiteral("Successful WSAStartup not yet performed.")},
        {11001, QStringLiteral("Host not found.")},
        {11002, QStringLiteral("Nonauthoritative host not found.")},
        {11003, QStringLiteral("This is a nonrecoverable error.")},
        {11004, QStringLiteral("Valid name, no data record of requested type.")},
    };
    return texts.value(lngErrorCode, QStringLiteral("Unknown error."));
}

bool RegisterSocket(int32_t lngSocket, clsSocketMaster *objSocket, bool blnEvents)
{
    ModuleState &module = state();
    if (!module.registeredSockets) {
        module.registeredSockets.emplace();
        module.window = MessageWindow::Create(QStringLiteral("SOCKET_WINDOW"));
        subclass(module.window);
    }
    addToTable(module.sockets, lngSocket, objSocket);
    if (blnEvents) {
        constexpr int32_t AllEvents = platform::sockets::FD_READ | platform::sockets::FD_WRITE | platform::sockets::FD_ACCEPT
            | platform::sockets::FD_CONNECT | platform::sockets::FD_CLOSE;
        if (const int32_t code = platform::sockets::AsyncSelect(lngSocket, module.window, SocketMessage, AllEvents))
            raiseSocketError(code, "RegisterSocket");
    }
    module.registeredSockets->insert(lngSocket);
    return true;
}

void UnregisterSocket(int32_t lngSocket)
{
    ModuleState &module = state();
    delFromTable(module.sockets, lngSocket);
    if (!module.registeredSockets)
        return;
    module.registeredSockets->erase(lngSocket);
    if (module.registeredSockets->empty()) {
        module.registeredSockets.reset();
        unSubclass();
        destroyWinsockMessageWindow();
    }
}

bool IsSocketRegistered(int32_t lngSocket)
{
    const ModuleState &module = state();
    return module.registeredSockets && module.registeredSockets->contains(lngSocket);
}

int32_t ResolveHost(const QString &strHost, std::shared_ptr<platform::sockets::HostEntry> buffer,
                    clsSocketMaster *objSocket, int32_t &lngError)
{
    ModuleState &module = state();
    const int32_t handle = platform::sockets::AsyncGetHostByName(module.window, LookupMessage, strHost.toLatin1(),
                                                                 std::move(buffer), lngError);
    if (handle)
        addToTable(module.lookups, handle, objSocket);
    return handle;
}

void UnregisterResolution(int32_t lngAsynHandle) { delFromTable(state().lookups, lngAsynHandle); }

void RegisterAccept(int32_t lngSocket)
{
    const std::shared_ptr<clsSocketMaster> holder = clsSocketMaster::Create();
    holder->Accept(lngSocket);
    state().acceptHolders.emplace(lngSocket, holder);
}

bool IsAcceptRegistered(int32_t lngSocket) { return state().acceptHolders.contains(lngSocket); }

std::shared_ptr<clsSocketMaster> GetAcceptClass(int32_t lngSocket)
{
    const auto &holders = state().acceptHolders;
    const auto found = holders.find(lngSocket);
    return found == holders.end() ? nullptr : found->second;
}

void UnregisterAccept(int32_t lngSocket)
{
    // The holder goes only once the collection is in order again: its release runs module code.
    const std::shared_ptr<clsSocketMaster> holder = GetAcceptClass(lngSocket);
    state().acceptHolders.erase(lngSocket);
}

void UnregisterObject(clsSocketMaster *objSocket)
{
    ModuleState &module = state();
    for (Slot &slot : module.lookups)
        if (slot.object == objSocket)
            slot = {-1, nullptr};
    std::vector<int32_t> sockets;
    for (const Slot &slot : module.sockets)
        if (slot.object == objSocket)
            sockets.push_back(slot.handle);
    for (const int32_t socket : sockets)
        UnregisterSocket(socket);
}

void ModifySocketObject(int32_t lngSocket, clsSocketMaster *objSocket)
{
    if (Slot *slot = findSlot(state().sockets, lngSocket))
        slot->object = objSocket;
}

int32_t MessageWindowHandle() { return state().window; }

int32_t SocketTableCount() { return static_cast<int32_t>(state().sockets.size()); }

} // namespace modSocketMaster
