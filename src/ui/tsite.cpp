#include "ui/tsite.h"

#include "sites/tsiteobject.h"
#include "util/pathforms.h"
#include "widgets/updown.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

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

QLineEdit *namedField(const char *name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    return field;
}

QCheckBox *namedBox(const char *name, const QString &caption, QWidget *parent)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

TSite::TSite(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Site"));
    setWindowTitle(tr("Orvane FTP - Site Options"));
    setModal(true);

    Pages = new QTabWidget(this);
    auto *general = new QWidget(Pages);
    auto *generalLayout = new QFormLayout(general);
    Host = namedField("Host", general);
    InitPath = namedField("InitPath", general);
    Username = namedField("Username", general);
    Password = namedField("Password", general);
    Password->setEchoMode(QLineEdit::Password);
    UsernameLabel = new QLabel(tr("Username"), general);
    PasswordLabel = new QLabel(tr("Password"), general);
    anonymous = namedBox("anonymous", tr("Anonymous Session"), general);
    anonymous->setChecked(true);
    generalLayout->addRow(tr("Host Address"), Host);
    generalLayout->addRow(tr("Initial Remote Path"), InitPath);
    generalLayout->addRow(UsernameLabel, Username);
    generalLayout->addRow(PasswordLabel, Password);
    generalLayout->addRow(QString(), anonymous);
    Pages->addTab(general, tr("General"));

    auto *advanced = new QWidget(Pages);
    auto *advancedLayout = new QFormLayout(advanced);
    tasks = namedField("tasks", advanced);
    tasks->setText(QStringLiteral("1"));
    tasks->setMaximumWidth(60);
    TaskPos = new UpDown(tasks, 1, 25, advanced);
    port = namedField("port", advanced);
    port->setText(QStringLiteral("21"));
    port->setMaximumWidth(60);
    UpDown4 = new UpDown(port, 21, 9999, advanced);
    firewall = namedBox("firewall", tr("Connect through Firewall"), advanced);
    passive = namedBox("passive", tr("Passive Transfer Mode"), advanced);
    advancedLayout->addRow(tr("Tasks"), withUpDown(advanced, tasks, TaskPos));
    advancedLayout->addRow(tr("Port"), withUpDown(advanced, port, UpDown4));
    advancedLayout->addRow(QString(), firewall);
    advancedLayout->addRow(QString(), passive);
    Pages->addTab(advanced, tr("Advanced"));

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

void TSite::MakeNoAnon()
{
    anonymous->setChecked(false);
    AnonymousClick();
}

void TSite::InitPathExit()
{
    if (!InitPath->text().isEmpty())
        InitPath->setText(ConvertPath(QLatin1Char('\\') + InitPath->text(), BackslashForm));
}

QString TSite::descriptionText() const
{
    return Description->toPlainText().split(QLatin1Char('\n')).join(QLatin1String("\r\n"));
}
