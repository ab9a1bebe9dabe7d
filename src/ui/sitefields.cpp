#include "ui/sitefields.h"

#include "util/pathforms.h"
#include "widgets/updown.h"

#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QTabWidget>

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

void addLoginPage(QTabWidget *pages,
                  QLineEdit *&host,
                  QLineEdit *&initPath,
                  QLineEdit *&username,
                  QLineEdit *&password,
                  QLabel *&usernameLabel,
                  QLabel *&passwordLabel,
                  QCheckBox *&anonymous)
{
    auto *general = new QWidget(pages);
    auto *layout = new QFormLayout(general);
    host = namedField("Host", general);
    initPath = namedField("InitPath", general);
    username = namedField("Username", general);
    password = namedField("Password", general);
    password->setEchoMode(QLineEdit::Password);
    usernameLabel = new QLabel(QObject::tr("Username"), general);
    passwordLabel = new QLabel(QObject::tr("Password"), general);
    anonymous = namedBox("anonymous", QObject::tr("Anonymous Session"), general);
    anonymous->setChecked(true);
    layout->addRow(QObject::tr("Host Address"), host);
    layout->addRow(QObject::tr("Initial Remote Path"), initPath);
    layout->addRow(usernameLabel, username);
    layout->addRow(passwordLabel, password);
    layout->addRow(QString(), anonymous);
    pages->addTab(general, QObject::tr("General"));
}

void addConnectionPage(QTabWidget *pages,
                       const char *tasksName,
                       QLineEdit *&tasks,
                       UpDown *&tasksUpDown,
                       const char *portName,
                       QLineEdit *&port,
                       UpDown *&portUpDown,
                       QCheckBox *&firewall,
                       QCheckBox *&passive)
{
    auto *advanced = new QWidget(pages);
    auto *layout = new QFormLayout(advanced);
    tasks = namedField(tasksName, advanced);
    tasks->setText(QStringLiteral("4"));
    tasks->setMaximumWidth(60);
    tasksUpDown = new UpDown(tasks, 1, 25, advanced);
    port = namedField(portName, advanced);
    port->setText(QStringLiteral("21"));
    port->setMaximumWidth(60);
    portUpDown = new UpDown(port, 21, 9999, advanced);
    firewall = namedBox("firewall", QObject::tr("Connect through Firewall"), advanced);
    passive = namedBox("passive", QObject::tr("Passive Transfer Mode"), advanced);
    layout->addRow(QObject::tr("Tasks"), withUpDown(advanced, tasks, tasksUpDown));
    layout->addRow(QObject::tr("Port"), withUpDown(advanced, port, portUpDown));
    layout->addRow(QString(), firewall);
    layout->addRow(QString(), passive);
    pages->addTab(advanced, QObject::tr("Advanced"));
}

QComboBox *addEncryptionRow(QTabWidget *pages)
{
    QWidget *advanced = pages->widget(pages->count() - 1);
    auto *layout = qobject_cast<QFormLayout *>(advanced->layout());
    auto *encryption = new QComboBox(advanced);
    encryption->setObjectName(QStringLiteral("encryption"));
    encryption->addItems({QObject::tr("Use explicit FTP over TLS if available"),
                          QObject::tr("Require explicit FTP over TLS"),
                          QObject::tr("Require implicit FTP over TLS"),
                          QObject::tr("Only use plain FTP (insecure)")});
    layout->addRow(QObject::tr("Encryption"), encryption);
    return encryption;
}

void shadeLogin(bool anonymous,
                QLineEdit *username,
                QLineEdit *password,
                QLabel *usernameLabel,
                QLabel *passwordLabel)
{
    // The desktop's own colours: its disabled text while anonymous, else its text as it is (a
    // palette that sets nothing follows the desktop, light or dark, also when that changes).
    for (QWidget *widget : {static_cast<QWidget *>(username),
                            static_cast<QWidget *>(password),
                            static_cast<QWidget *>(usernameLabel),
                            static_cast<QWidget *>(passwordLabel)}) {
        QPalette pal;
        if (anonymous) {
            const QPalette desktop = QApplication::palette(widget);
            for (const QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText})
                pal.setColor(role, desktop.color(QPalette::Disabled, role));
        }
        widget->setPalette(pal);
    }
}

QString normalizedInitialPath(const QString &typed)
{
    if (typed.isEmpty())
        return typed;
    return ConvertPath(QLatin1Char('\\') + typed, BackslashForm);
}
