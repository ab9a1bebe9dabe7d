#include "ui/tdialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TDialog::TDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , Label1(new QLabel(this))
    , Edit1(new QLineEdit(this))
    , OkButton(new QPushButton(tr("&OK"), this))
    , CancelButton(new QPushButton(tr("&Cancel"), this))
{
    setObjectName(QStringLiteral("Dialog"));
    setModal(true);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setTextFormat(Qt::PlainText);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setMinimumWidth(300);
    OkButton->setDefault(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    layout->addLayout(buttons);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(Edit1, &QLineEdit::returnPressed, this, &QDialog::accept);
}

void TDialog::setCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void TDialog::setPrompt(const QString &prompt)
{
    Label1->setText(prompt);
}

void TDialog::setText(const QString &text)
{
    Edit1->setText(text);
}

QString TDialog::text() const
{
    return Edit1->text();
}

void TDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Edit1->setFocus(Qt::OtherFocusReason);
    Edit1->selectAll();
}
