#include "ui/tsplash.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

TSplash::TSplash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
    setWindowTitle(QStringLiteral("Orvane FTP"));
    auto *frame = new QFrame(this);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Raised);
    auto *inner = new QVBoxLayout(frame);
    inner->setContentsMargins(24, 16, 24, 16);
    Label1 = new QLabel(QStringLiteral("Orvane FTP"), frame);
    QFont big = Label1->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    Label1->setFont(big);
    Label1->setAlignment(Qt::AlignCenter);
    Label2 = new QLabel(tr("Version 1.0 Final Beta"), frame);
    Label2->setAlignment(Qt::AlignCenter);
    inner->addWidget(Label1);
    inner->addWidget(Label2);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
}
