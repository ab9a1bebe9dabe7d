#include "ui/tsite.h"

#include "sites/tsiteobject.h"
#include "ui/sitefields.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TSite::TSite(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Site"));
    setWindowTitle(tr("Orvane FTP - Site Options"));
    setModal(true);

    Pages = new QTabWidget(this);
    addLoginPage(
            Pages, Host, InitPath, Username, Password, UsernameLabel, PasswordLabel, anonymous);
    addConnectionPage(Pages, "tasks", tasks, TaskPos, "port", port, UpDown4, firewall, passive);
    encryption = addEncryptionRow(Pages);

    auto *descriptionPage = new QWidget(Pages);
    auto *descriptionLayout = new QVBoxLayout(descriptionPage);
    Description = new QPlainTextEdit(descriptionPage);
    Description->setObjectName(QStringLiteral("Description"));
    Description->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Description->setLineWrapMode(QPlainTextEdit::NoWrap);
    descriptionLayout->addWidget(Description);
    Pages->addTab(descriptionPage, tr("Description"));

    OkButton = new QPushButton(tr("&OK"), this);
    OkButton->setObjectName(QStringLiteral("OK"));
    OkButton->setDefault(true);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("Cancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);

    for (QCheckBox *box : {anonymous, passive, firewall})
        connect(box, &QCheckBox::toggled, this, &TSite::AnonymousClick);
    connect(Username, &QLineEdit::textChanged, this, &TSite::MakeNoAnon);
    connect(Password, &QLineEdit::textChanged, this, &TSite::MakeNoAnon);
    connect(InitPath, &QLineEdit::editingFinished, this, &TSite::InitPathExit);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    AnonymousClick();
}

void TSite::FormActivate(const TSiteObject &site)
{
    Pages->setCurrentIndex(0);
    Host->setFocus(Qt::OtherFocusReason);
    Host->setText(site.Host);
    Username->setText(site.Username);
    Password->setText(site.Password);
    InitPath->setText(site.InitialPath);
    passive->setChecked(site.PassiveMode);
    encryption->setCurrentIndex(qBound(0, site.Encryption, encryption->count() - 1));
    firewall->setChecked(site.Firewall > 0);
    port->setText(QString::number(site.Port));
    tasks->setText(QString::number(site.Tasks));
    // After the text fields: filling them unchecks the box.
    anonymous->setChecked(site.Anonymous);
    QString description = site.Description;
    description.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Description->setPlainText(description);
    AnonymousClick();
}

void TSite::AnonymousClick()
{
    shadeLogin(anonymous->isChecked(), Username, Password, UsernameLabel, PasswordLabel);
}

void TSite::MakeNoAnon()
{
    anonymous->setChecked(false);
    AnonymousClick();
}

void TSite::InitPathExit()
{
    if (!InitPath->text().isEmpty())
        InitPath->setText(normalizedInitialPath(InitPath->text()));
}

QString TSite::descriptionText() const
{
    return Description->toPlainText().split(QLatin1Char('\n')).join(QLatin1String("\r\n"));
}
