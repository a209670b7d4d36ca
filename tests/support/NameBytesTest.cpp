#include "support/NameBytes.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// A name's bytes as a report prints them. Names that print alike would let one user's directory
// or account pass for another's in what cron mails, so every printed name must stand for one name.
TEST(NameBytesTest, EveryPrintedNameStandsForExactlyOneName)
{
    const std::pair<QByteArray, const char *> cases[] = {
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"lat\xe9n", "lat\\xE9n"},
        // A backslash of the name itself, beside the bytes its escape would stand for.
        {"q\\xE9", "q\\\\xE9"},
        {"q\xe9", "q\\xE9"},
        {"q\\xE9\xe9", "q\\\\xE9\\xE9"},
        {"q\xe9\xe9", "q\\xE9\\xE9"},
        {"nl\nx", "nl\\x0Ax"},
        {"nl\\x0Ax", "nl\\\\x0Ax"},
        {"\\", "\\\\"},
        // DEL and a C1 control, which is valid UTF-8.
        {"d\x7f", "d\\x7F"},
        {"c1\xc2\x85", "c1\\xC2\\x85"},
        // Beyond the first plane: its low surrogate lies where kept bytes do, yet it is a character.
        {"\xf0\x90\x82\x80", "\xf0\x90\x82\x80"},
        // A sequence cut short, and an encoded surrogate, which UTF-8 does not allow.
        {"end\xc3", "end\\xC3"},
        {"\xed\xb2\x80", "\\xED\\xB2\\x80"},
    };
    QSet<QByteArray> printed;
    for (const auto &[bytes, expected] : cases) {
        const QString name = support::KeptBytes(bytes);
        EXPECT_EQ(support::Printed(name), QByteArray(expected)) << bytes.toStdString();
        printed.insert(support::Printed(name));
        // A valid name is its own text, so the plain name and the escaped one are the same report.
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            EXPECT_EQ(name, QString::fromUtf8(bytes)) << bytes.toStdString();
        }
    }
    EXPECT_EQ(printed.size(), qsizetype(std::size(cases)));
}

} // namespace
