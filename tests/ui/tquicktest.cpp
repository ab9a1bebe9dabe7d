#include "ui/tquick.h"

#include "widgets/updown.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// Types into a field the way a user does: focus it, replace its text, then leave it with Tab.
void typeInto(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void leave(QLineEdit *field)
{
    QTest::keyClick(field, Qt::Key_Tab);
}

struct ShownQuick
{
    TQuick quick;
    ShownQuick()
    {
        quick.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&quick));
        quick.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&quick));
    }
};

TEST(QuickConnect, ConnectNeedsAHostAndAPortFrom1To65535)
{
    ShownQuick s;
    TQuick &q = s.quick;
    EXPECT_EQ(q.windowTitle(), "Orvane FTP - Quick Connect");
    EXPECT_EQ(q.Pages->currentIndex(), 0);
    EXPECT_TRUE(q.Host->hasFocus());
    EXPECT_EQ(q.Port->text(), "21");
    EXPECT_TRUE(q.anonymous->isChecked());
    EXPECT_FALSE(q.Connect->isEnabled()); // no host yet

    typeInto(q.Host, "127.0.0.1");
    EXPECT_TRUE(q.Connect->isEnabled());

    struct PortCase
    {
        const char *text;
        bool accepted;
    };
    for (const PortCase &c : {PortCase{"0", false},
                              PortCase{"1", true},
                              PortCase{"21", true},
                              PortCase{"65535", true},
                              PortCase{"65536", false},
                              PortCase{"4294967317", false},
                              PortCase{"-21", false},
                              PortCase{"2l", false},
                              PortCase{"", false},
                              PortCase{"12000", true}}) {
        typeInto(q.Port, QString::fromLatin1(c.text));
        EXPECT_EQ(q.Connect->isEnabled(), c.accepted) << "port " << c.text;
    }
    EXPECT_EQ(q.port(), 12000);

    typeInto(q.Tasks, "x");
    EXPECT_FALSE(q.Connect->isEnabled());
    typeInto(q.Tasks, "3");
    EXPECT_TRUE(q.Connect->isEnabled());
    typeInto(q.Host, "");
    EXPECT_FALSE(q.Connect->isEnabled());

    // The arrows step within 21..9999, a typed number stays as typed.
    typeInto(q.Port, "9999");
    q.UpDown1->upButton()->click();
    EXPECT_EQ(q.Port->text(), "9999");
    typeInto(q.Port, "22");
    q.UpDown1->downButton()->click();
    q.UpDown1->downButton()->click();
    EXPECT_EQ(q.Port->text(), "21");
}

TEST(QuickConnect, HostTextIsSplitIntoHostAndPath)
{
    ShownQuick s;
    TQuick &q = s.quick;
    struct HostCase
    {
        const char *typed;
        const char *host;
        const char *path; // what InitPath holds afterwards ("" = left as it was)
    };
    const HostCase cases[] = {
            {"ftp://ftp.example.org/pub/x", "ftp.example.org", "/pub/x"},
            {"ftp.example.org\\pub\\y", "ftp.example.org", "/pub/y"},
            {"ftp://ftp.example.org", "ftp.example.org", "/keep"},
            // Only the lower-case prefix is recognised; any other text splits at its first "/".
            {"FTP://host/a", "FTP:", "//host/a"},
            {"localhost", "localhost", "/keep"},
    };
    for (const HostCase &c : cases) {
        q.InitPath->setText("/keep");
        typeInto(q.Host, QString::fromLatin1(c.typed));
        q.Username->setFocus(Qt::TabFocusReason); // leaves the host field
        EXPECT_EQ(q.host(), c.host) << c.typed;
        EXPECT_EQ(q.InitPath->text(), c.path) << c.typed;
    }

    // Leaving the initial path normalises it; an empty one stays empty.
    typeInto(q.InitPath, "pub/incoming");
    leave(q.InitPath);
    EXPECT_EQ(q.initialPath(), "\\pub\\incoming\\");
    typeInto(q.InitPath, "/pub//a/../b");
    leave(q.InitPath);
    EXPECT_EQ(q.initialPath(), "\\pub\\b\\");
    typeInto(q.InitPath, "");
    leave(q.InitPath);
    EXPECT_EQ(q.initialPath(), "");
}

TEST(QuickConnect, ConnectSplitsTheHostAndCloses)
{
    ShownQuick s;
    TQuick &q = s.quick;
    typeInto(q.Host, "ftp://127.0.0.1/pub");
    typeInto(q.Username, "ann");
    // A user name does not clear the anonymous box here; the fields only turn black with it.
    EXPECT_TRUE(q.isAnonymous());
    EXPECT_EQ(q.Username->palette().color(QPalette::Text), QColor(128, 128, 128));
    q.anonymous->click();
    EXPECT_EQ(q.Username->palette().color(QPalette::Text), QColor(Qt::black));
    q.passive->click();
    QTest::mouseClick(q.Connect, Qt::LeftButton);
    EXPECT_EQ(q.result(), QDialog::Accepted);
    EXPECT_FALSE(q.isVisible());
    EXPECT_EQ(q.host(), "127.0.0.1");
    EXPECT_EQ(q.initialPath(), "/pub");
    EXPECT_EQ(q.username(), "ann");
    EXPECT_FALSE(q.isAnonymous());
    EXPECT_TRUE(q.isPassive());
    EXPECT_EQ(q.port(), 21);
    EXPECT_EQ(q.taskCount(), 1);
}

} // namespace
