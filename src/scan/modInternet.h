#pragma once

#include <QString>

// The reachability test of the installed-software scan, and the reading of the update service's
// reply.
namespace modInternet {

// True when strHostName answers one ICMP echo request (32 bytes of "A", time to live 255)
// within 2000 ms; there is no retry. A name that does not resolve gives false without anything
// being sent. When no ICMP socket can be opened at all, every call says so in a message box and
// gives false. Blocks for up to the time-out.
bool Ping(const QString &strHostName);

// The text between the first "<tag>" of text and the next "</tag>" after it; "" when either is
// missing. Tags match exactly, letter case included.
QString GetTagValue(const QString &text, const QString &tag);

} // namespace modInternet
