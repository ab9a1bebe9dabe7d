// The Quick connect dialog: which fields let Connect go, and how the typed host and path split;
// an IPv6 literal reaches the host.
#include "windowdriver.h"

#include "support/pyftpdlibserver.h"
#include "support/zonescope.h"

#include <QLocale>

namespace {

// Types into a field and leaves it for the user name field (a Tab from the host field would
// enter the path field, which tidies its text when it is left).
void enter(TQuick &q, QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
    q.Username->setFocus(Qt::TabFocusReason);
}

struct QuickConnect : ::testing::Test
{
    TQuick q;
    void SetUp() override
    {
        q.show();
        q.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&q));
    }
};

} // namespace

TEST_F(QuickConnect, ConnectNeedsAHostAPortFrom1To65535AndATaskCount)
{
    EXPECT_FALSE(q.Connect->isEnabled()); // no host yet
    // clang-format off
    const std::pair<QLineEdit *, const char *> rows[] = {
        {q.Host, "127.0.0.1"}, {q.Port, "0"}, {q.Port, "1"}, {q.Port, "65535"}, {q.Port, "65536"}, {q.Port, "4294967317"},
        {q.Port, "-21"}, {q.Port, "2l"}, {q.Port, ""}, {q.Port, "12000"}, {q.Tasks, "x"}, {q.Tasks, "3"}, {q.Host, ""}};
    const bool accepted[] = {true, false, true, true, false, false, false, false, false, true, false, true, false};
    // clang-format on
    for (int i = 0; i < int(std::size(rows)); ++i) {
        typeText(rows[i].first, rows[i].second);
        EXPECT_EQ(q.Connect->isEnabled(), accepted[i]) << rows[i].second;
    }
}

TEST_F(QuickConnect, HostTextIsSplitIntoHostAndPath)
{
    // clang-format off
    struct Row { const char *typed, *host, *path; }; // path: what InitPath holds afterwards
    for (const Row &c : {Row{"ftp://ftp.example.org/pub/x", "ftp.example.org", "/pub/x"},
                         Row{"ftp.example.org\\pub\\y", "ftp.example.org", "/pub/y"},
                         Row{"ftp://ftp.example.org", "ftp.example.org", "/keep"},
                         // Only the lower-case prefix is recognised; other text splits at its first "/".
                         Row{"FTP://host/a", "FTP:", "//host/a"}, Row{"localhost", "localhost", "/keep"},
                         // An IPv6 address reaches the engine as typed, bare or in brackets.
                         Row{"::1", "::1", "/keep"}, Row{"ftp://[::1]/pub", "[::1]", "/pub"}}) {
        // clang-format on
        q.InitPath->setText("/keep");
        enter(q, q.Host, c.typed);
        EXPECT_EQ(q.host(), c.host) << c.typed;
        EXPECT_EQ(q.InitPath->text(), c.path) << c.typed;
    }
    // Leaving the initial path normalises it; an empty one stays empty.
    for (const auto &[typed, path] : std::initializer_list<std::pair<const char *, const char *>>{
                 {"pub/incoming", "\\pub\\incoming\\"}, {"/pub//a/../b", "\\pub\\b\\"}, {"", ""}}) {
        enter(q, q.InitPath, typed);
        EXPECT_EQ(q.initialPath(), path) << typed;
    }
    // Connect takes the fields and closes.
    enter(q, q.Host, "ftp://127.0.0.1/pub");
    QTest::keyClicks(q.Username, "ann"); // a typed user name clears Anonymous Session
    q.passive->click();
    QTest::mouseClick(q.Connect, Qt::LeftButton);
    EXPECT_EQ(q.result(), QDialog::Accepted);
    EXPECT_EQ(QStringList({q.host(), q.initialPath(), q.username()}),
              QStringList({"127.0.0.1", "/pub", "ann"}));
    EXPECT_TRUE(!q.isAnonymous() && q.isPassive());
}

// A host listening only on ::1, typed bare and in brackets: its folder is listed (with MLSD,
// the file's date from its modify fact) and the log names the address connected to.
TEST(QuickConnectWindow, ReachesAnIpv6HostTypedBareOrInBrackets)
{
    ovtest::PyftpdlibServer server;
    server.setListenAddress(QStringLiteral("::1"));
    ASSERT_TRUE(server.start());
    // Eight hours west of UTC (a POSIX zone: no time zone data needed), the file's local date is
    // the day before its UTC one.
    const ovtest::ZoneScope zone("XST8");
    ASSERT_TRUE(ovtest::setModified(server.createFile("six.txt", "6"),
                                    QDateTime({2001, 2, 3}, {4, 5, 6}, Qt::UTC)));
    auto form = showForm();
    const QString connected = QStringLiteral("Connected to ::1 port %1.").arg(server.port());
    int times = 0;
    for (const QString typed : {"::1", "[::1]"}) {
        form->engine()->DisconnectMain();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->engine()->MainFTP()->LoggedIn(); }, 10000));
        quickConnect(*form, server.port(), 1, typed, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return form->engine()->MainFTP()->LoggedIn(); }, 15000))
                << typed.toStdString() << logLines(*form).join('\n').toStdString();
        EXPECT_TRUE(waitForHostList(*form, "\\", {"six.txt"})) << typed.toStdString();
        FileListView *list = form->hostPane()->rWin();
        EXPECT_EQ(list->text(rowOf(list, "six.txt"), FileListView::ModifiedColumn),
                  QLocale::system().toString(QDate(2001, 2, 2), QLocale::ShortFormat));
        EXPECT_EQ(logLines(*form).filter(connected).size(), ++times) << typed.toStdString();
    }
}
