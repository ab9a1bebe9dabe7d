#include "support/scriptedcase.h"

#include "ftp/listparser.h"
#include "platform/localpath.h"
#include "support/eventwait.h"
#include "support/files.h"
#include "support/ftpsession.h"
#include "support/qtprinters.h"
#include "support/scriptedserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>

namespace ovtest {

namespace {

const char *const ActionNames[]
        = {"list", "download", "upload", "rmd", "dele", "mkd", "buffer", "cwd"};

const QString Login = QStringLiteral("greet 220 scripted host ready\nexpect user ann\n"
                                     "reply 331 password please\nexpect pass secret\n"
                                     "reply 230 logged in\nexpect feat\n");

struct Case
{
    QStringList setup, script, expect;
};

const QStringList ExpectWords
        = QStringLiteral("sent actions warning error unknown refused state reason file received "
                         "shown unexpected shown-count events folder host-type host "
                         "buffer-folders buffer-keys buffer-entry")
                  .split(u' ');

Case readCase(const QString &path)
{
    Case c;
    bool inScript = false;
    for (const QString &line : QString::fromUtf8(readFile(path)).split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (inScript)
            c.script << line;
        else if (trimmed == "== script")
            inScript = true;
        else if (!trimmed.isEmpty() && !trimmed.startsWith(u'#'))
            (ExpectWords.contains(trimmed.section(u' ', 0, 0)) ? c.expect : c.setup) << trimmed;
    }
    return c;
}

class Runner
{
public:
    void run(const Case &c);

private:
    // The text's UTF-8 bytes, each {xHH} one byte of its own.
    QByteArray expandBytes(const QString &text) const
    {
        QByteArray bytes;
        qsizetype at = 0;
        static const QRegularExpression hex(QStringLiteral("\\{x([0-9a-fA-F]{2})\\}"));
        for (const QRegularExpressionMatch &m : hex.globalMatch(text)) {
            bytes += expand(text.mid(at, m.capturedStart() - at)).toUtf8();
            bytes += char(m.captured(1).toInt(nullptr, 16));
            at = m.capturedEnd();
        }
        return bytes + expand(text.mid(at)).toUtf8();
    }
    QString expand(QString text) const
    {
        return text.replace("{CR}", "\r")
                .replace("{LF}", "\n")
                .replace("{NUL}", QString(QChar(0)))
                .replace("{local}", NativeToLocal(s.local.path() + u'/'));
    }
    void setUp(const QString &word, const QString &rest);
    void connect();
    void check(const QString &word, const QString &rest);

    FtpSession s;
    std::unique_ptr<ScriptedServer> server;
    QString script;
    QString user = QStringLiteral("ann");
    QString realHost;
    QStringList features, refused;
    bool standardLogin = true;
    QMap<QString, QByteArray> serverFiles;
};

void Runner::setUp(const QString &word, const QString &rest)
{
    const QStringList args = rest.split(u' ', Qt::SkipEmptyParts);
    const QString arg = args.value(0);
    if (word == "passive")
        s.ftp.setPassiveMode(arg == "on");
    else if (word == "resume")
        s.ftp.setResumeTransfers(arg == "on");
    else if (word == "binary")
        s.ftp.SetBinaryMode(arg == "on");
    else if (word == "reply-timeout")
        s.ftp.setReplyTimeout(arg.toInt());
    else if (word == "login-script")
        s.ftp.setLoginScript(expand(rest));
    else if (word == "login")
        standardLogin = arg != "none";
    else if (word == "feature")
        features << rest;
    else if (word == "encoding")
        ASSERT_TRUE(s.ftp.setNameEncoding(arg));
    else if (word == "user")
        user = expand(rest);
    else if (word == "firewall") {
        s.ftp.setFirewallType(arg.toInt());
        realHost = args.value(1);
    } else if (word == "buffer")
        s.buffer.addEntry(arg, expand(rest.section(u' ', 1, -2)), args.last());
    else if (word == "local") {
        const QString path = s.localPath(arg);
        const QString kind = args.value(1);
        if (kind == "sparse") {
            ASSERT_TRUE(writeFile(path, {}) && QFile::resize(path, args.value(2).toLongLong()))
                    << "no room for a sparse file of " << args.value(2).toStdString();
        } else {
            ASSERT_TRUE(writeFile(path,
                                  kind == "pattern"
                                          ? ScriptedServer::pattern(args.value(2).toLongLong())
                                          : rest.section(u' ', 2).toUtf8()));
        }
    } else if (word == "server-file")
        serverFiles[arg] = ScriptedServer::pattern(args.value(3).toLongLong())
                                   .mid(args.value(2).toLongLong());
    else if (word == "queue" || word == "run") {
        if (!server)
            connect();
        if (word == "queue")
            s.ftp.AddCommand(expand(rest));
        else if (!s.runAndWait(expand(rest)))
            ADD_FAILURE() << server->log().toStdString();
    } else
        ADD_FAILURE() << "unknown set-up line: " << word.toStdString();
}

void Runner::connect()
{
    QString feat = QStringLiteral("reply 500 FEAT not understood\n");
    if (!features.isEmpty())
        feat = "reply 211-Features:\nreply  " + features.join("\nreply  ") + "\nreply 211 End\n";
    server = std::make_unique<ScriptedServer>((standardLogin ? Login + feat : QString()) + script);
    QObject::connect(&s.ftp, &TcFTP::entryRefused, [this](const QString &, const QString &line) {
        refused << line;
    });
    for (auto it = serverFiles.cbegin(); it != serverFiles.cend(); ++it)
        server->addFile(it.key(), it.value());
    ASSERT_TRUE(server->start());
    if (realHost.isEmpty()) {
        s.connectTo(server->port(), user);
    } else {
        s.ftp.setFirewallHost(QStringLiteral("127.0.0.1"));
        s.ftp.setFirewallPort(server->port());
        s.ftp.Connect(TcFTPSession{realHost, QStringLiteral("21"), user, QStringLiteral("secret")});
    }
    EXPECT_TRUE(waitFor([&] { return s.ftp.LoggedIn() || s.ftp.State() == csNotConnected; }, 20000))
            << server->log().toStdString();
    s.waitSettled();
}

void Runner::check(const QString &word, const QString &rest)
{
    const QStringList args = rest.split(u' ', Qt::SkipEmptyParts);
    const QString arg = args.value(0);
    const QString text = expand(rest);
    if (word == "sent") {
        QList<QByteArray> expected, got = server->commands().mid(standardLogin ? 3 : 0);
        for (const QString &line : rest.split(u'|', Qt::SkipEmptyParts))
            expected << expandBytes(line.trimmed());
        for (qsizetype i = 0; i < qMin(got.size(), expected.size()); ++i) {
            if (ScriptedServer::matchesGlob(got.at(i), expected.at(i)))
                got[i] = expected.at(i); // a glob such as "port 127,0,0,1,*" matched
        }
        EXPECT_EQ(got, expected);
    } else if (word == "state")
        EXPECT_EQ(s.ftp.State(), csNotConnected);
    else if (word == "reason")
        EXPECT_EQ(s.ftp.FailureReason(), text);
    else if (word == "file" || word == "received") {
        const QString path = word == "file" ? s.localPath(arg) : server->workFolder() + u'/' + arg;
        const QString kind = args.value(1);
        const QString value = rest.section(u' ', 2);
        if (kind == "pattern")
            EXPECT_EQ(readFile(path), ScriptedServer::pattern(value.toLongLong()));
        else if (kind == "text")
            EXPECT_EQ(readFile(path), expand(value).toUtf8());
        else if (kind == "local")
            EXPECT_EQ(readFile(path), readFile(s.localPath(value)));
        else if (kind == "size")
            EXPECT_EQ(QFileInfo(path).size(), value.toLongLong());
        else if (kind == "missing")
            EXPECT_FALSE(QFileInfo::exists(path));
        else
            ADD_FAILURE() << "unknown file expectation: " << kind.toStdString();
    } else if (word == "shown" || word == "unexpected") {
        QList<bool> valid;
        for (const FtpSession::Text &t : s.texts) {
            if (t.fromHost && t.line == text)
                valid << t.valid;
        }
        EXPECT_EQ(valid, QList<bool>{word == "shown"});
    } else if (word == "shown-count")
        EXPECT_EQ(s.received().size(), arg.toInt());
    else if (word == "events") {
        const QString prefix = QRegularExpression::escape(rest.section(u' ', 1));
        EXPECT_EQ(server->events().filter(QRegularExpression(u'^' + prefix)).size(), arg.toInt());
    } else if (word == "host")
        EXPECT_EQ(s.ftp.Host(), arg);
    else if (word == "folder")
        EXPECT_EQ(s.ftp.Folder(), text);
    else if (word == "host-type")
        EXPECT_EQ(s.ftp.HostType(), arg == "servu" ? csServU : csUnknown);
    else if (word == "buffer-folders")
        EXPECT_EQ(s.buffer.folders(), args);
    else if (word == "buffer-keys")
        EXPECT_EQ(s.keys(arg), args.mid(1));
    else if (word == "buffer-entry")
        EXPECT_EQ(LookupEntry(s.buffer, arg, args.value(1)).section(u'*', 0, 0), args.value(2));
    else if (word != "actions" && word != "warning" && word != "error" && word != "unknown"
             && word != "refused")
        ADD_FAILURE() << "unknown expectation: " << word.toStdString();
}

void Runner::run(const Case &c)
{
    script = c.script.join(u'\n') + u'\n';
    for (const QString &line : c.setup) {
        setUp(line.section(u' ', 0, 0), line.section(u' ', 1));
        if (::testing::Test::HasFatalFailure())
            return;
    }
    if (!server)
        connect();
    ASSERT_TRUE(server);
    EXPECT_TRUE(server->waitForDone(15000));
    // Expectations that hold by default: no actions, warnings, errors or unknown commands.
    QString actions;
    QStringList warnings, unknown, refusedLines;
    QList<int> errors;
    bool disconnected = false, sent = false;
    for (const QString &line : c.expect) {
        const QString word = line.section(u' ', 0, 0), rest = line.section(u' ', 1);
        if (word == "actions")
            actions = rest;
        else if (word == "warning")
            warnings << expand(rest);
        else if (word == "error")
            errors << rest.toInt();
        else if (word == "unknown")
            unknown << expand(rest);
        else if (word == "refused")
            refusedLines << expand(rest);
        disconnected = disconnected || word == "state";
        sent = sent || word == "sent";
        SCOPED_TRACE(line.toStdString());
        check(word, rest);
    }
    EXPECT_TRUE(sent) << "a case names the commands it expects";
    QStringList done;
    for (const FtpSession::Done &d : s.actions)
        done << QString::fromLatin1(ActionNames[d.action]) + (d.success ? ":ok" : ":failed");
    EXPECT_EQ(done.join(u' '), actions);
    EXPECT_EQ(s.errors, errors);
    EXPECT_EQ(s.unknownCommands, unknown);
    EXPECT_EQ(refused, refusedLines);
    EXPECT_EQ(s.warnings.size(), warnings.size()) << s.warnings.join(u'\n').toStdString();
    for (qsizetype i = 0; i < qMin(warnings.size(), s.warnings.size()); ++i)
        EXPECT_TRUE(s.warnings.at(i).contains(warnings.at(i))) << s.warnings.at(i).toStdString();
    if (!disconnected) {
        EXPECT_TRUE(s.ftp.LoggedIn() && s.ftp.State() == csIdle) << s.ftp.State();
    }
    if (::testing::Test::HasFailure())
        ADD_FAILURE() << server->log().toStdString();
}

} // namespace

QStringList scriptedCaseFiles(const QString &folder)
{
    QStringList files;
    for (const QString &name :
         QDir(folder).entryList({QStringLiteral("*.case")}, QDir::Files, QDir::Name))
        files << QDir(folder).filePath(name);
    return files;
}

void runScriptedCase(const QString &path)
{
    const Case c = readCase(path);
    ASSERT_FALSE(c.script.isEmpty()) << "no script in " << path.toStdString();
    Runner().run(c);
}

} // namespace ovtest
