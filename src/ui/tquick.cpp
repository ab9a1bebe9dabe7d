#include "ui/tquick.h"

#include "ui/sitefields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int MaxInitPathLength = 999;

} // namespace

TQuick::TQuick(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Quick"));
    setWindowTitle(tr("Orvane FTP - Quick Connect"));
    setModal(true);

    Pages = new QTabWidget(this);
    addLoginPage(
            Pages, Host, InitPath, Username, Password, UsernameLabel, PasswordLabel, anonymous);
    addConnectionPage(Pages, "Tasks", Tasks, UpDown2, "Port", Port, UpDown1, firewall, passive);
    encryption = addEncryptionRow(Pages);

    Connect = new QPushButton(tr("C&onnect"), this);
    Connect->setObjectName(QStringLiteral("Connect"));
    Connect->setDefault(true);
    Cancel = new QPushButton(tr("Cancel"), this);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Connect);
    buttons->addWidget(Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);

    connect(Host, &QLineEdit::textChanged, this, &TQuick::CheckIfValid);
    connect(Tasks, &QLineEdit::textChanged, this, &TQuick::CheckIfValid);
    connect(Port, &QLineEdit::textChanged, this, &TQuick::CheckIfValid);
    connect(Host, &QLineEdit::editingFinished, this, &TQuick::HostExit);
    connect(InitPath, &QLineEdit::editingFinished, this, &TQuick::initpathExit);
    // A user name or password typed means a login of one's own, as in the site dialog.
    connect(Username, &QLineEdit::textEdited, this, &TQuick::MakeNoAnon);
    connect(Password, &QLineEdit::textEdited, this, &TQuick::MakeNoAnon);
    for (QCheckBox *box : {anonymous, passive, firewall})
        connect(box, &QCheckBox::toggled, this, &TQuick::anonymousClick);
    connect(Connect, &QPushButton::clicked, this, &TQuick::ConnectClick);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    anonymousClick();
    CheckIfValid();
}

void TQuick::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    Pages->setCurrentIndex(0);
    CheckIfValid();
    Host->setFocus(Qt::OtherFocusReason);
}

void TQuick::CheckIfValid()
{
    bool portOk = false;
    const int port = Port->text().trimmed().toInt(&portOk);
    bool tasksOk = false;
    Tasks->text().trimmed().toInt(&tasksOk);
    Connect->setEnabled(portOk && port >= 1 && port <= 65535 && tasksOk && !Host->text().isEmpty());
}

void TQuick::HostExit()
{
    QString text = Host->text().trimmed();
    text.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (text.startsWith(QLatin1String("ftp://")))
        text.remove(0, 6);
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    if (slash >= 0) {
        InitPath->setText(text.mid(slash).left(MaxInitPathLength));
        text.truncate(slash);
    }
    if (text != Host->text())
        Host->setText(text);
}

void TQuick::initpathExit()
{
    if (!InitPath->text().isEmpty())
        InitPath->setText(normalizedInitialPath(InitPath->text()));
}

void TQuick::anonymousClick()
{
    shadeLogin(anonymous->isChecked(), Username, Password, UsernameLabel, PasswordLabel);
}

void TQuick::MakeNoAnon()
{
    anonymous->setChecked(false);
}

void TQuick::ConnectClick()
{
    HostExit();
    CheckIfValid();
    if (Connect->isEnabled())
        accept();
}

QString TQuick::host() const
{
    return Host->text();
}

int TQuick::port() const
{
    return Port->text().trimmed().toInt();
}

QString TQuick::initialPath() const
{
    return InitPath->text();
}

QString TQuick::username() const
{
    return Username->text();
}

QString TQuick::password() const
{
    return Password->text();
}

bool TQuick::isAnonymous() const
{
    return anonymous->isChecked();
}

bool TQuick::isPassive() const
{
    return passive->isChecked();
}

bool TQuick::usesFirewall() const
{
    return firewall->isChecked();
}

int TQuick::taskCount() const
{
    return Tasks->text().trimmed().toInt();
}
