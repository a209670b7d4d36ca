#include "platform/directory/NssLine.h"

#include <QStringList>

#include <gtest/gtest.h>

using platform::directory::NssLine;
using platform::directory::NssSource;

namespace {

// The order in which a look-up of line walks its steps when none answers: "L" for the lists, "F"
// for files' own entries, "0", "1", ... for the sources asked on their own; "-" when the C
// library is to be followed.
std::string Steps(const char *line)
{
    auto followed = NssLine::Of(QByteArray(line).split(' '));
    if (!followed)
        return "-";
    QStringList steps;
    const auto none = [&steps](const char *step) {
        steps << step;
        return std::optional<int>();
    };
    followed->Walk(
        [&](NssSource &source) {
            steps << QString::number(&source - followed->Asked().data());
            return std::optional<int>();
        },
        [&] { return none("F"); }, [&] { return none("L"); });
    return steps.join(u' ').toStdString() + (followed->FilesApart() ? " (files apart)" : "");
}

} // namespace

// A look-up takes the sources in the line's order, as the C library does. files and systemd
// answer from the lists the C library enumerates, which hold files' entries before systemd's, so
// a source between them needs files' own entries; any other source between files and systemd
// leaves the database to the C library. The modules named here need not exist: such a source
// answers nothing.
TEST(NssLine, ALookUpTakesTheSourcesInTheLinesOrder)
{
    const struct {
        const char *line, *steps;
    } cases[] = {
        {"files", "L"},
        {"files systemd", "L"},
        {"files systemd sss", "L 0"},
        {"files sss", "L 0"},
        {"sss files", "0 L"},
        {"sss files systemd winbind", "0 L 1"},
        {"systemd files sss", "L 0"},
        {"files sss systemd", "F 0 L (files apart)"},
        {"sss files ldap winbind systemd nis", "0 F 1 2 L 3 (files apart)"},
        {"systemd sss files", "-"},
        {"files sss files systemd", "-"},
        {"files sss systemd systemd", "-"},
        {"sss", "L 0"},
        {"compat winbind", "L 0 1"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Steps(c.line), c.steps) << c.line;
    EXPECT_FALSE(NssLine::Of(std::nullopt));
}

// The first step that answers ends the walk.
TEST(NssLine, TheFirstAnswerCounts)
{
    auto line = NssLine::Of(QByteArray("sss files ldap systemd").split(' '));
    ASSERT_TRUE(line);
    int asked = 0;
    const auto answer = line->Walk(
        [&](NssSource &) {
            ++asked;
            return std::optional<QByteArray>();
        },
        [] { return std::optional<QByteArray>("files"); }, [] { return std::optional<QByteArray>("lists"); });
    EXPECT_EQ(answer, "files");
    EXPECT_EQ(asked, 1);
}
