// The window's question about files that exist, against vsftpd: task sessions asking at once
// get one dialog after the other while the window and the other sessions go on, each answer
// does what it says, and "apply to the rest of this queue" answers the questions waiting too.
#include "windowdriver.h"

#include "settings/registry.h"
#include "support/eventwait.h"
#include "ui/existsdialog.h"
#include "ui/tzetup.h"

#include <QComboBox>
#include <QFile>
#include <QToolButton>

using ovtest::readFile;
using ovtest::testBytes;
using ovtest::waitFor;

namespace {

QByteArray sourceOf(int i)
{
    return testBytes(30000, 300 + i);
}

QByteArray targetOf(int i)
{
    return testBytes(8000, 400 + i);
}

QList<FilePair> pairs(const QStringList &names, const QString &localFolder)
{
    QList<FilePair> list;
    for (const QString &name : names)
        list.append(FilePair{HostPath{"\\oe-ask\\" + name}, LocalPath{localFolder + name}});
    return list;
}

} // namespace

TEST(ExistsDialog, QuestionsOneAtATimeAndEachAnswer)
{
    // Each file that exists is answered with its own choice; the smaller local file keeps its
    // bytes on a resume. "newer" is older here than on the host.
    const QStringList choices{"overwrite", "auto", "resume", "newer", "rename", "skip"};
    const QStringList names = choices + QStringList{"rest0", "rest1", "rest2"};
    ovtest::FileTree hostFiles{{"oe-ask/fresh.bin", sourceOf(20)}};
    QTemporaryDir local;
    ASSERT_TRUE(local.isValid());
    for (int i = 0; i < names.size(); ++i) {
        hostFiles.insert("oe-ask/" + names[i] + ".bin", sourceOf(i));
        ASSERT_TRUE(ovtest::writeFile(local.filePath(names[i] + ".bin"), targetOf(i)));
    }
    ovtest::FtpTestServer *host = hostWith(hostFiles);
    ASSERT_NE(host, nullptr);
    QFile old(local.filePath("newer.bin"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite | QIODevice::Append));
    ASSERT_TRUE(old.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC),
                                QFileDevice::FileModificationTime));
    old.close();
    const QString localFolder = NativeToLocal(local.path() + '/');

    auto form = showForm();
    TaskEngine *engine = form->engine();
    engine->startTimers();
    quickConnect(*form, host->port(), 4);
    ASSERT_TRUE(waitFor(
            [&] { return engine->MainFTP()->State() == csIdle && !engine->RootFolder().isEmpty(); },
            15000));
    QMap<int, OperationResult> finished;
    QObject::connect(engine,
                     &TaskEngine::operationFinished,
                     [&](int id, const OperationResult &result) { finished.insert(id, result); });
    const int listing = engine->listHostFolder(HostPath{"\\oe-ask\\"}).id;
    engine->Pass();
    ASSERT_TRUE(waitFor([&] { return finished.contains(listing); }, 15000));
    auto *dialog = form->findChild<ExistsDialog *>();
    ASSERT_NE(dialog, nullptr);
    auto *title = dialog->findChild<QLabel *>("ExistsTitle");

    // Three task sessions: two take files that exist and ask, the third goes on with a file
    // that does not.
    const int id = engine->download(pairs({"overwrite.bin",
                                           "auto.bin",
                                           "fresh.bin",
                                           "resume.bin",
                                           "newer.bin",
                                           "rename.bin",
                                           "skip.bin"},
                                          localFolder))
                           .id;
    engine->Pass();
    ASSERT_TRUE(waitFor(
            [&] {
                return dialog->waitingCount() >= 2
                       && readFile(local.filePath("fresh.bin")) == sourceOf(20);
            },
            20000))
            << dialog->waitingCount() << engine->log()->lines().join('\n').toStdString();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel *>("MoreQuestions")->text(),
              QStringLiteral("%1 more waiting").arg(dialog->waitingCount() - 1));

    // Each question names its file; the answer is that file's own choice.
    QStringList answered;
    while (answered.size() < choices.size()) {
        ASSERT_TRUE(
                waitFor([&] { return dialog->isVisible() && dialog->waitingCount() > 0; }, 20000))
                << answered.join(", ").toStdString();
        QString choice;
        for (const QString &each : choices) {
            if (title->text().contains("/oe-ask/" + each + ".bin"))
                choice = each;
        }
        ASSERT_FALSE(choice.isEmpty()) << title->text().toStdString();
        ASSERT_FALSE(answered.contains(choice)) << "asked twice: " << choice.toStdString();
        EXPECT_TRUE(title->text().contains(local.filePath(choice + ".bin")));
        answered << choice;
        const int shown = dialog->shownQuestion();
        QTest::mouseClick(dialog->findChild<QPushButton *>("Choice_" + choice), Qt::LeftButton);
        EXPECT_NE(dialog->shownQuestion(), shown);
    }
    ASSERT_TRUE(waitFor([&] { return finished.contains(id); }, 20000));
    EXPECT_TRUE(finished.value(id).success());
    EXPECT_FALSE(dialog->isVisible());
    const auto spliced = [](int i) {
        return targetOf(i) + sourceOf(i).mid(targetOf(i).size());
    };
    EXPECT_TRUE(readFile(local.filePath("overwrite.bin")) == sourceOf(0));
    EXPECT_TRUE(readFile(local.filePath("auto.bin")) == spliced(1));
    EXPECT_TRUE(readFile(local.filePath("resume.bin")) == spliced(2));
    EXPECT_TRUE(readFile(local.filePath("newer.bin")) == sourceOf(3));
    EXPECT_TRUE(readFile(local.filePath("rename.bin")) == targetOf(4));
    EXPECT_TRUE(readFile(local.filePath("rename (1).bin")) == sourceOf(4));
    EXPECT_TRUE(readFile(local.filePath("skip.bin")) == targetOf(5));

    // One answer for the rest of this queue: the questions waiting go with it, no more come.
    const int rest
            = engine->download(pairs({"rest0.bin", "rest1.bin", "rest2.bin"}, localFolder)).id;
    engine->Pass();
    ASSERT_TRUE(waitFor([&] { return dialog->isVisible() && dialog->waitingCount() == 3; }, 20000))
            << dialog->waitingCount() << engine->log()->lines().join('\n').toStdString();
    auto *applyToRest = dialog->findChild<QCheckBox *>("ApplyToRest");
    QTest::mouseClick(applyToRest, Qt::LeftButton, {}, QPoint(8, applyToRest->height() / 2));
    ASSERT_TRUE(applyToRest->isChecked());
    QTest::mouseClick(dialog->findChild<QPushButton *>("Choice_overwrite"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return finished.contains(rest); }, 20000))
            << dialog->waitingCount() << engine->log()->lines().join('\n').toStdString();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->waitingCount(), 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(readFile(local.filePath(QStringLiteral("rest%1.bin").arg(i)))
                    == sourceOf(6 + i))
                << i;
}

TEST(ExistsDialog, SetupKeepsTheDefaultChoice)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString store = dir.filePath("registry.json");
    {
        Registry registry(store);
        auto form = showForm();
        form->readOptions(registry);
        TZetup *setup = form->Zetup;
        UserScript script;
        script.on<TZetup>([&](TZetup *) {
            QTest::mouseClick(setup->ToolbarButton974, Qt::LeftButton);
            setup->OnExists->setFocus();
            QTest::keyClick(setup->OnExists, Qt::Key_End);
            QTest::mouseClick(setup->OkButton, Qt::LeftButton);
        });
        form->Menu_Setup->trigger();
        ASSERT_TRUE(script.waitFinished());
        EXPECT_EQ(form->engine()->options().OnExists, int(ExistsPolicy::Newer));
        ASSERT_TRUE(form->writeOptions(registry));
    }
    Registry registry(store);
    auto form = showForm();
    form->readOptions(registry);
    EXPECT_EQ(form->options().OnExists, int(ExistsPolicy::Newer));
    EXPECT_EQ(form->Zetup->OnExists->currentData().toInt(), int(ExistsPolicy::Newer));
}
