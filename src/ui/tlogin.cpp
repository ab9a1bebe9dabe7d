#include "ui/tlogin.h"

#include <QFont>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QVBoxLayout>

TLogIn::TLogIn(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("LogIn"));
    setWindowTitle(tr("Orvane FTP - Log-in Information"));
    setModal(false);
    resize(490, 322);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    logwin = new QPlainTextEdit(this);
    logwin->setObjectName(QStringLiteral("logwin"));
    logwin->setReadOnly(true);
    logwin->setLineWrapMode(QPlainTextEdit::NoWrap);
    logwin->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logwin->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont courier(QStringLiteral("Courier New"), 9);
    courier.setStyleHint(QFont::Monospace);
    logwin->setFont(courier);
    layout->addWidget(logwin, 1);

    BottomPanel = new QWidget(this);
    BottomPanel->setFixedHeight(36);
    OkButton = new QPushButton(tr("&OK"), BottomPanel);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    OkButton->resize(75, 25);
    layout->addWidget(BottomPanel);
    connect(OkButton, &QPushButton::clicked, this, &QWidget::hide);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TLogIn::clearLines()
{
    logwin->clear();
}

void TLogIn::addLine(const QString &line)
{
    // Host text is shown as sent: plain text, never markup.
    QString text = line;
    text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    logwin->appendPlainText(text);
}

int TLogIn::lineCount() const
{
    return logwin->document()->isEmpty() ? 0 : logwin->document()->blockCount();
}

QString TLogIn::line(int n) const
{
    return logwin->document()->findBlockByNumber(n).text();
}

void TLogIn::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The button keeps 82 pixels from the panel's right edge.
    OkButton->move(BottomPanel->width() - 82, (BottomPanel->height() - OkButton->height()) / 2);
}
