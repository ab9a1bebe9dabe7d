#include "ui/tquick.h"

#include "util/pathforms.h"
#include "widgets/updown.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int MaxInitPathLength = 999;

QWidget *withUpDown(QWidget *parent, QLineEdit *field, UpDown *upDown)
{
    auto *box = new QWidget(parent);
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(field);
    layout->addWidget(upDown);
    layout->addStretch(1);
    return box;
}

} // namespace

TQuick::TQuick(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Quick"));
    setWindowTitle(tr("Orvane FTP - Quick Connect"));
    setModal(true);

    Pages = new QTabWidget(this);
    auto *general = new QWidget(Pages);
    auto *generalLayout = new QFormLayout(general);
    Host = new QLineEdit(general);
    Host->setObjectName(QStringLiteral("Host"));
    InitPath = new QLineEdit(general);
    InitPath->setObjectName(QStringLiteral("InitPath"));
    Username = new QLineEdit(general);
    Username->setObjectName(QStringLiteral("Username"));
    Password = new QLineEdit(general);
    Password->setObjectName(QStringLiteral("Password"));
    Password->setEchoMode(QLineEdit::Password);
    UsernameLabel = new QLabel(tr("Username"), general);
    PasswordLabel = new QLabel(tr("Password"), general);
    anonymous = new QCheckBox(tr("Anonymous Session"), general);
    anonymous->setObjectName(QStringLiteral("anonymous"));
    anonymous->setChecked(true);
    generalLayout->addRow(tr("Host Address"), Host);
    generalLayout->addRow(tr("Initial Remote Path"), InitPath);
    generalLayout->addRow(UsernameLabel, Username);
    generalLayout->addRow(PasswordLabel, Password);
    generalLayout->addRow(QString(), anonymous);
    Pages->addTab(general, tr("General"));

    auto *advanced = new QWidget(Pages);
    auto *advancedLayout = new QFormLayout(advanced);
    Tasks = new QLineEdit(QStringLiteral("1"), advanced);
    Tasks->setObjectName(QStringLiteral("Tasks"));
    Tasks->setMaximumWidth(60);
    UpDown2 = new UpDown(Tasks, 1, 25, advanced);
    Port = new QLineEdit(QStringLiteral("21"), advanced);
    Port->setObjectName(QStringLiteral("Port"));
    Port->setMaximumWidth(60);
    UpDown1 = new UpDown(Port, 21, 9999, advanced);
    firewall = new QCheckBox(tr("Connect through Firewall"), advanced);
    firewall->setObjectName(QStringLiteral("firewall"));
    passive = new QCheckBox(tr("Passive Transfer Mode"), advanced);
    passive->setObjectName(QStringLiteral("passive"));
    advancedLayout->addRow(tr("Tasks"), withUpDown(advanced, Tasks, UpDown2));
    advancedLayout->addRow(tr("Port"), withUpDown(advanced, Port, UpDown1));
    advancedLayout->addRow(QString(), firewall);
    advancedLayout->addRow(QString(), passive);
    Pages->addTab(advanced, tr("Advanced"));

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
        InitPath->setText(ConvertPath(QLatin1Char('\\') + InitPath->text(), BackslashForm));
}

void TQuick::anonymousClick()
{
    const QColor colour = anonymous->isChecked() ? QColor(128, 128, 128) : QColor(Qt::black);
    for (QWidget *widget : {static_cast<QWidget *>(Username),
                            static_cast<QWidget *>(Password),
                            static_cast<QWidget *>(UsernameLabel),
                            static_cast<QWidget *>(PasswordLabel)}) {
        QPalette pal = widget->palette();
        pal.setColor(QPalette::Text, colour);
        pal.setColor(QPalette::WindowText, colour);
        widget->setPalette(pal);
    }
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
