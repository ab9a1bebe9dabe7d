// The Setup dialog edits the live options in place; the options record keeps them from one run
// of the window to the next. The ASCII-extension dialog edits the extension list.
#include "dialogdriver.h"
#include "formdriver.h"
#include "ui/hostpane.h"
#include "ui/localpane.h"

#include "platform/localpath.h"
#include "settings/options.h"
#include "settings/registry.h"
#include "tasks/taskengine.h"
#include "ui/tascext.h"
#include "ui/tdialog.h"
#include "ui/tzetup.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
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
        EXPECT_EQ(setup->windowTitle(), "Q.S Orvane FTP - Setup");
        EXPECT_FALSE(form->options().ConfirmTransfer);
        EXPECT_EQ(form->options().KAP, 2);
        EXPECT_EQ(setup->KAPLabel->text(), "2 minute(s) of host in-activity.");
        EXPECT_EQ(setup->ReconnectLabel->text(), "10 seconds delay.");
        EXPECT_FALSE(form->localPane()->lWin()->detailsView()->property("fullRowSelect").toBool());

        whenShown(setup, [&] {
            EXPECT_TRUE(setup->BtnGeneral->isChecked());
            EXPECT_EQ(visiblePages(setup), QStringList{"General"});
            typeText(setup->EMail, "Ann@Example.org");
            typeText(setup->DownLoadFolder, download);
            click(setup->ConfirmTransfer);

            click(setup->ToolbarButton973);
            EXPECT_EQ(visiblePages(setup), QStringList{"Interface"});
            click(setup->FullrowSelect);
            // An immediate effect: the lists select whole rows now.
            EXPECT_TRUE(
                    form->localPane()->lWin()->detailsView()->property("fullRowSelect").toBool());
            EXPECT_TRUE(
                    form->hostPane()->rWin()->detailsView()->property("fullRowSelect").toBool());
            click(setup->StartUpItems[2]);
            setup->applyFont(chosen);
            EXPECT_EQ(form->localPane()->lWin()->detailsView()->font().family(), chosen.family());
            EXPECT_EQ(form->hostPane()->RPathTree()->font().pointSize(), 11);
            // The layout record keeps the views' font.
            EXPECT_EQ(form->viewFont().face, chosen.family());
            EXPECT_EQ(form->viewFont().size, 11);

            click(setup->ToolbarButton974);
            EXPECT_EQ(visiblePages(setup), QStringList({"Session", "More Session"}));
            EXPECT_EQ(setup->Pages->tabText(setup->Pages->currentIndex()), "Session");
            setup->KAP->setFocus();
            QTest::keyClick(setup->KAP, Qt::Key_End);
            EXPECT_EQ(setup->KAPLabel->text(), "42 years of host in-activity.");
            setup->Reconnect->setFocus();
            QTest::keyClick(setup->Reconnect, Qt::Key_Home);
            EXPECT_EQ(setup->ReconnectLabel->text(), "0 seconds delay.");
            click(setup->ShowMultiIO);

            setup->Pages->setCurrentIndex(3);
            EXPECT_TRUE(QTest::qWaitFor([&] { return setup->TransferModeItems[1]->isVisible(); },
                                        2000));
            EXPECT_TRUE(setup->ASCExtBtn->isEnabled());
            click(setup->TransferModeItems[1]);
            EXPECT_FALSE(setup->ASCExtBtn->isEnabled());
            click(setup->OkButton);
        });
        form->Menu_Setup->trigger();

        // The live options hold the edits as soon as the dialog closed.
        const Options &o = form->options();
        EXPECT_EQ(o.EMail, "Ann@Example.org");
        EXPECT_EQ(o.anonymousPassword(), "ann@example.org");
        EXPECT_EQ(o.DownLoadFolder, NativeToLocal(download + "/"));
        EXPECT_TRUE(o.DownLoadFolder.endsWith('\\'));
        EXPECT_TRUE(o.ConfirmTransfer);
        EXPECT_TRUE(o.FullrowSelect);
        EXPECT_EQ(o.StartUpDialog, Options::QuickConnect);
        EXPECT_EQ(o.KAP, 31);
        EXPECT_EQ(Options::maxSecsIdle(o.KAP), 1313625595);
        EXPECT_EQ(o.Reconnect, 0);
        EXPECT_FALSE(o.ShowMultiIO);
        EXPECT_EQ(o.TransferMode, Options::Binary);
        // The engine reads the same object.
        EXPECT_EQ(&form->engine()->options(), &o);
        ASSERT_TRUE(form->writeOptions(registry));
    }

    // A new run reads them back into the dialog's controls and their effects.
    Registry registry(store);
    auto form = showForm();
    form->readOptions(registry);
    const TZetup *setup = form->Zetup;
    EXPECT_EQ(setup->EMail->text(), "Ann@Example.org");
    EXPECT_EQ(setup->DownLoadFolder->text(), download + "/");
    EXPECT_TRUE(setup->ConfirmTransfer->isChecked());
    EXPECT_TRUE(setup->FullrowSelect->isChecked());
    EXPECT_TRUE(form->localPane()->lWin()->detailsView()->property("fullRowSelect").toBool());
    EXPECT_TRUE(setup->StartUpItems[2]->isChecked());
    EXPECT_EQ(setup->KAP->value(), 31);
    EXPECT_EQ(setup->KAPLabel->text(), "42 years of host in-activity.");
    EXPECT_EQ(setup->Reconnect->value(), 0);
    EXPECT_FALSE(setup->ShowMultiIO->isChecked());
    EXPECT_TRUE(setup->TransferModeItems[1]->isChecked());
    EXPECT_FALSE(setup->ASCExtBtn->isEnabled());
    EXPECT_EQ(form->options().toRecord(),
              Options::fromRecord(form->options().toRecord()).toRecord());
    EXPECT_EQ(form->options().KAP, 31);
}

TEST(AsciiExtensionDialog, AddsNormalisedExtensionsAndRemovesTheSelectedOnes)
{
    AsciiExtensionList list;
    list.load(".bat:.c:.txt");
    TDialog input;
    TASCext ext(list, &input);
    ext.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ext));
    EXPECT_EQ(ext.windowTitle(), "ASCII File Extensions");
    EXPECT_FALSE(ext.Remove->isEnabled());

    const auto add = [&](const QString &typed) {
        whenShown(&input, [&] {
            EXPECT_EQ(input.windowTitle(), "Add new ASCII mode extension");
            EXPECT_EQ(input.Label1->text(), "ASCII mode extension:");
            typeText(input.Edit1, typed);
            click(input.OkButton);
        });
        click(ext.ToolbarButton971);
    };
    add("TXT"); // already listed as ".txt"
    add("a:b"); // the ":" goes before the dot is put in front
    add("Pas");
    add("*?|"); // nothing left
    EXPECT_EQ(list.items(), QStringList({".ab", ".bat", ".c", ".pas", ".txt"}));
    QStringList shown;
    for (int i = 0; i < ext.ExtListBox->count(); ++i)
        shown << ext.ExtListBox->item(i)->text();
    EXPECT_EQ(shown, list.items());

    // Two selected items go at once, and Remove is disabled again.
    ext.ExtListBox->item(1)->setSelected(true);
    ext.ExtListBox->item(3)->setSelected(true);
    ASSERT_TRUE(ext.Remove->isEnabled());
    click(ext.Remove);
    EXPECT_EQ(list.items(), QStringList({".ab", ".c", ".txt"}));
    EXPECT_EQ(ext.ExtListBox->count(), 3);
    EXPECT_FALSE(ext.Remove->isEnabled());
    EXPECT_EQ(list.engineForm(), QStringList({"ab", "c", "txt"}));
}
