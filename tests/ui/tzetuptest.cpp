// The Setup dialog edits the live options in place; the options record keeps them from one run
// of the window to the next.
#include "windowdriver.h"

#include "settings/registry.h"
#include "ui/tzetup.h"

#include <QComboBox>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

namespace {

QStringList visiblePages(const TZetup *setup)
{
    QStringList pages;
    for (int i = 0; i < setup->Pages->count(); ++i) {
        if (setup->Pages->isTabVisible(i))
            pages << setup->Pages->tabText(i);
    }
    return pages;
}

// Clicks a button on its left end, where check and radio boxes have their mark.
void click(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

} // namespace

TEST(SetupDialog, EditsReachTheOptionsAndSurviveACloseAndReopen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString store = dir.filePath("registry.json");
    const QString download = dir.filePath("received");
    QFont chosen(QStringLiteral("Courier New"), 11);

    {
        Registry registry(store);
        auto form = showForm();
        form->readOptions(registry); // first start: the default record
        TZetup *setup = form->Zetup;
        UserScript script;
        script.on<TZetup>([&](TZetup *) {
            typeText(setup->EMail, "Ann@Example.org");
            typeText(setup->DownLoadFolder, download);
            click(setup->ConfirmTransfer);

            click(setup->ToolbarButton973);
            click(setup->FullrowSelect);
            // An immediate effect: the lists select whole rows now.
            EXPECT_TRUE(
                    form->localPane()->lWin()->detailsView()->property("fullRowSelect").toBool());
            EXPECT_TRUE(
                    form->hostPane()->rWin()->detailsView()->property("fullRowSelect").toBool());
            click(setup->StartUpItems[2]);
            setup->applyFont(chosen);
            EXPECT_EQ(form->viewFont().face, chosen.family()); // the layout record keeps it

            click(setup->ToolbarButton974);
            EXPECT_EQ(visiblePages(setup), QStringList({"Session", "More Session"}));
            setup->KAP->setFocus();
            QTest::keyClick(setup->KAP, Qt::Key_End);
            setup->Reconnect->setFocus();
            QTest::keyClick(setup->Reconnect, Qt::Key_Home);
            setup->OnExists->setFocus();
            QTest::keyClick(setup->OnExists, Qt::Key_End);
            click(setup->ShowMultiIO);

            setup->Pages->setCurrentIndex(3);
            EXPECT_TRUE(QTest::qWaitFor([&] { return setup->TransferModeItems[1]->isVisible(); },
                                        2000));
            EXPECT_TRUE(setup->ASCExtBtn->isEnabled());
            click(setup->TransferModeItems[1]);
            EXPECT_FALSE(setup->ASCExtBtn->isEnabled());
            click(setup->OkButton);
        });
        script.trigger(form->Menu_Setup);

        // The live options hold the edits as soon as the dialog closed.
        const Options &o = form->options();
        EXPECT_EQ(
                QStringList({o.EMail, o.anonymousPassword(), o.DownLoadFolder}),
                QStringList({"Ann@Example.org", "ann@example.org", NativeToLocal(download + "/")}));
        EXPECT_TRUE(o.ConfirmTransfer && o.FullrowSelect && !o.ShowMultiIO);
        EXPECT_EQ(
                QList<int>({o.StartUpDialog, o.KAP, o.Reconnect, o.TransferMode, o.OnExists}),
                QList<int>(
                        {Options::QuickConnect, 31, 0, Options::Binary, int(ExistsPolicy::Newer)}));
        ASSERT_TRUE(form->writeOptions(registry));
    }

    // A new run reads them back into the dialog's controls and their effects.
    Registry registry(store);
    auto form = showForm();
    form->readOptions(registry);
    const TZetup *setup = form->Zetup;
    EXPECT_EQ(QStringList({setup->EMail->text(), setup->DownLoadFolder->text()}),
              QStringList({"Ann@Example.org", download + "/"}));
    EXPECT_TRUE(setup->ConfirmTransfer->isChecked() && setup->FullrowSelect->isChecked()
                && setup->StartUpItems[2]->isChecked() && !setup->ShowMultiIO->isChecked()
                && setup->TransferModeItems[1]->isChecked() && !setup->ASCExtBtn->isEnabled());
    EXPECT_TRUE(form->localPane()->lWin()->detailsView()->property("fullRowSelect").toBool());
    EXPECT_EQ(QList<int>({setup->KAP->value(),
                          setup->Reconnect->value(),
                          setup->OnExists->currentData().toInt()}),
              QList<int>({31, 0, int(ExistsPolicy::Newer)}));
}
