#include "ui/aboutbox.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

AboutBox::AboutBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(tr("About Orvane FTP"));
    auto *layout = new QVBoxLayout(this);
    auto *name = new QLabel(QStringLiteral("Orvane FTP"), this);
    name->setObjectName(QStringLiteral("AboutName"));
    QFont big = name->font();
    big.setBold(true);
    big.setPointSize(big.pointSize() + 6);
    name->setFont(big);
    name->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(tr("Version %1").arg(QCoreApplication::applicationVersion()), this);
    version->setObjectName(QStringLiteral("AboutVersion"));
    version->setAlignment(Qt::AlignCenter);
    auto *text = new QLabel(tr("An FTP client for the desktop: the local computer and an FTP "
                               "host side by side, with transfers running as parallel tasks."),
                            this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignCenter);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(text);
    layout->addWidget(buttons);
    setMinimumWidth(320);
}
