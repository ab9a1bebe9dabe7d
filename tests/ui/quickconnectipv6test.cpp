// Quick connect to an IPv6 address: the window reaches pyftpdlib on [::1], lists with MLSD and
// shows the entries' dates.
#include "windowdriver.h"

#include "support/pyftpdlibserver.h"

#include <QFile>
#include <QLocale>

using ovtest::PyftpdlibServer;

TEST(QuickConnectIpv6, ReachesTheHostOnIpv6AndShowsMlsdDates)
{
    PyftpdlibServer server;
    server.setListenAddress(QStringLiteral("::1"));
    ASSERT_TRUE(server.start());
    QFile file(server.createFile(QStringLiteral("dated.txt"), "dated"));
    const QDateTime time(QDate(2024, 7, 8), QTime(12, 0, 0), Qt::UTC);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    file.close();
    server.createFolder(QStringLiteral("sub"));

    std::unique_ptr<TForm1> form = showForm();
    quickConnect(*form,
                 server.port(),
                 1,
                 QStringLiteral("[::1]"),
                 PyftpdlibServer::userName(),
                 PyftpdlibServer::password());
    ASSERT_TRUE(waitForHostList(
            *form, QStringLiteral("\\"), {QStringLiteral("dated.txt"), QStringLiteral("sub")}))
            << logLines(*form).join(QLatin1Char('\n')).toStdString();
    const QStringList log = logLines(*form);
    EXPECT_TRUE(log.contains(QStringLiteral("<<: mlsd"))) << log.join('\n').toStdString();
    EXPECT_TRUE(std::any_of(log.cbegin(), log.cend(), [&](const QString &line) {
        return line.contains(QStringLiteral("Connected to ::1 port %1").arg(server.port()));
    })) << log.join('\n').toStdString();
    FileListView *list = form->hostPane()->rWin();
    const int row = rowOf(list, QStringLiteral("dated.txt"));
    ASSERT_GE(row, 0);
    EXPECT_EQ(list->text(row, FileListView::ModifiedColumn),
              QLocale::system().toString(time.toLocalTime().date(), QLocale::ShortFormat));
}
