// The window's question about files that exist, against vsftpd: task sessions asking at once
// get one dialog after the other while the window and the other sessions go on, each answer
// does what it says, and "apply to the rest of this queue" answers the questions waiting too.
#include "windowdriver.h"

#include "support/eventwait.h"
#include "ui/existsdialog.h"

#include <QFile>

using ovtest::waitFor;

namespace {

TEST(ExistsDialog, QuestionsOneAtATimeAndEachAnswer)
{
    // Each host file holds its name; each local one "XY", so that a resume keeps those two
    // bytes. "newer" is older here than on the host.
    const QStringList choices{"overwrite", "auto", "resume", "newer", "rename", "skip"};
    const QStringList rest{"rest0", "rest1", "rest2"};
    QStringList files{"fresh.bin"};
    for (const QString &name : choices + rest)
        files << name + ".bin";
    ConnectedWindow w;
    ASSERT_TRUE(w.connect(files, files, 4));
    ovtest::FileTree expected;
    for (const QString &name : choices + rest) {
        ASSERT_TRUE(ovtest::writeFile(w.localPath(name + ".bin"), "XY"));
        expected.insert(name + ".bin", "XY");
    }
    ASSERT_TRUE(ovtest::setModified(w.localPath("newer.bin"),
                                    QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC)));
    TaskEngine *engine = w.engine();
    QSet<int> finished;
    QObject::connect(engine, &TaskEngine::operationFinished, [&](int id, const OperationResult &r) {
        EXPECT_TRUE(r.success());
        finished.insert(id);
    });
    const auto download = [&](const QStringList &names) {
        QList<FilePair> pairs;
        for (const QString &name : names)
            pairs.append(
                    {HostPath{"\\" + name + ".bin"}, LocalPath{w.localFolder() + name + ".bin"}});
        const int id = engine->download(pairs).id;
        engine->Pass();
        return id;
    };
    auto *dialog = w.form->findChild<ExistsDialog *>();
    ASSERT_NE(dialog, nullptr);
    auto *title = dialog->findChild<QLabel *>("ExistsTitle");

    // Three task sessions: two take files that exist and ask, the third goes on with a file
    // that does not.
    const int id = download({"overwrite", "auto", "fresh", "resume", "newer", "rename", "skip"});
    ASSERT_TRUE(waitFor(
            [&] {
                return dialog->waitingCount() >= 2
                       && ovtest::readFile(w.localPath("fresh.bin")) == "fresh.bin";
            },
            20000))
            << dialog->waitingCount() << w.log().toStdString();
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
        for (const QString &each : choices)
            choice = title->text().contains("/" + each + ".bin") ? each : choice;
        ASSERT_FALSE(choice.isEmpty()) << title->text().toStdString();
        ASSERT_FALSE(answered.contains(choice)) << "asked twice: " << choice.toStdString();
        EXPECT_TRUE(title->text().contains(w.localPath(choice + ".bin")));
        answered << choice;
        const int shown = dialog->shownQuestion();
        QTest::mouseClick(dialog->findChild<QPushButton *>("Choice_" + choice), Qt::LeftButton);
        EXPECT_NE(dialog->shownQuestion(), shown);
    }
    ASSERT_TRUE(waitFor([&] { return finished.contains(id); }, 20000));
    EXPECT_FALSE(dialog->isVisible());
    for (const char *name : {"fresh.bin", "overwrite.bin", "newer.bin", "rename (1).bin"})
        expected.insert(name, name == QLatin1String("rename (1).bin") ? "rename.bin" : name);
    expected.insert("auto.bin", "XYto.bin");
    expected.insert("resume.bin", "XYsume.bin");
    EXPECT_EQ(ovtest::readTree(w.local.path()), expected);

    // One answer for the rest of this queue: the questions waiting go with it, no more come.
    const int restId = download(rest);
    ASSERT_TRUE(waitFor([&] { return dialog->isVisible() && dialog->waitingCount() == 3; }, 20000))
            << dialog->waitingCount() << w.log().toStdString();
    auto *applyToRest = dialog->findChild<QCheckBox *>("ApplyToRest");
    QTest::mouseClick(applyToRest, Qt::LeftButton, {}, QPoint(8, applyToRest->height() / 2));
    ASSERT_TRUE(applyToRest->isChecked());
    QTest::mouseClick(dialog->findChild<QPushButton *>("Choice_overwrite"), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return finished.contains(restId); }, 20000))
            << dialog->waitingCount() << w.log().toStdString();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->waitingCount(), 0);
    for (const QString &name : rest)
        expected.insert(name + ".bin", (name + ".bin").toUtf8());
    EXPECT_EQ(ovtest::readTree(w.local.path()), expected);
}

} // namespace
