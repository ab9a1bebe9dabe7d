// The log and Quick connect read on the desktop's palette, light or dark: every kind of line
// and the marks at a contrast of at least 4.5:1 against the log's background, the kinds told
// apart by colour, lines written before a switch of palette coloured again; the login fields
// and their labels as readable as the desktop's text.
#include "ui/tquick.h"
#include "widgets/logview.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTextBlock>

#include <gtest/gtest.h>

#include <cmath>

namespace {

double luminance(const QColor &c)
{
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double contrast(const QColor &a, const QColor &b)
{
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// A dark desktop as the common dark themes set it.
QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(53, 53, 53));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(35, 35, 35));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Button, QColor(53, 53, 53));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
        dark.setColor(QPalette::Disabled, role, QColor(127, 127, 127));
    return dark;
}

QColor markColourOf(const LogView &log, int line)
{
    return log.document()
            ->findBlockByNumber(line)
            .begin()
            .fragment()
            .charFormat()
            .foreground()
            .color();
}

struct PaletteRestorer
{
    QPalette saved = QApplication::palette();
    ~PaletteRestorer() { QApplication::setPalette(saved); }
};

TEST(LogContrast, EveryKindReadsOnTheLightAndTheDarkPalette)
{
    PaletteRestorer restorer;
    const QStringList lines = {"  : Connected to host computer.",
                               ">>: 230 Login successful.",
                               "<<: PASV",
                               "!!: Error smgr-1411 - Please Report to Author.",
                               " !: Task was unable to connect"};
    QApplication::setPalette(QApplication::style()->standardPalette());
    LogView log;
    for (const QString &line : lines)
        log.appendLogLine(line);
    ASSERT_EQ(log.lineCount(), lines.size());

    const QPalette palettes[] = {QApplication::style()->standardPalette(), darkPalette()};
    for (const QPalette &palette : palettes) {
        // The lines were written under the light palette; the dark one colours them again.
        QApplication::setPalette(palette);
        const QColor background = log.viewport()->palette().color(QPalette::Base);
        QList<QRgb> colours;
        for (int i = 0; i < lines.size(); ++i) {
            const QColor text = log.lineColor(i);
            EXPECT_GE(contrast(text, background), 4.5)
                    << lines.at(i).toStdString() << " on " << background.name().toStdString()
                    << ": " << text.name().toStdString();
            EXPECT_GE(contrast(markColourOf(log, i), background), 4.5)
                    << "mark on " << background.name().toStdString();
            EXPECT_FALSE(colours.contains(text.rgb())) << lines.at(i).toStdString();
            colours << text.rgb();
        }
    }
}

TEST(LogContrast, QuickConnectLoginReadsOnTheLightAndTheDarkPalette)
{
    PaletteRestorer restorer;
    for (const QPalette &palette : {QApplication::style()->standardPalette(), darkPalette()}) {
        QApplication::setPalette(palette);
        TQuick quick;
        quick.show();
        for (const bool anonymous : {true, false}) {
            if (quick.anonymous->isChecked() != anonymous)
                quick.anonymous->click();
            for (QWidget *w : std::initializer_list<QWidget *>{quick.Username, quick.Password}) {
                const QColor text = w->palette().color(QPalette::Text);
                EXPECT_EQ(text == palette.color(QPalette::Text), !anonymous);
                if (!anonymous) {
                    EXPECT_GE(contrast(text, w->palette().color(QPalette::Base)), 4.5);
                }
            }
            const QColor label = quick.UsernameLabel->palette().color(QPalette::WindowText);
            EXPECT_EQ(label == palette.color(QPalette::WindowText), !anonymous);
        }
    }
}

} // namespace
