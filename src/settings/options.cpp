#include "settings/options.h"

#include "platform/localpath.h"
#include "settings/recordfield.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"
#include "util/fieldstring.h"
#include "util/pathforms.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

using RecordField::flag;
using RecordField::Separator;
using RecordField::setFlag;
using RecordField::setNumber;
using RecordField::text;

QString Options::defaultDownloadFolder()
{
    QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloads.isEmpty())
        downloads = QDir::homePath();
    return NativeToLocal(downloads + QLatin1Char('/'));
}

QString Options::defaultEMail()
{
    return QStringLiteral("guest@example.com");
}

QString Options::defaultRecord()
{
    const QStringList fields = {
            text(defaultDownloadFolder()),
            defaultEMail(),
            QStringLiteral("1"), // ConfirmDelete
            QStringLiteral("0"), // ConfirmTransfer
            QStringLiteral("0"), // ConfirmDisconnect
            QStringLiteral("0"), // StartUpDialog
            QStringLiteral("0"), // FullrowSelect
            QStringLiteral("0"), // ClearLogWin
            QStringLiteral("0"),
            QString(),
            QStringLiteral("0"),
            QString(),
            QStringLiteral("0"),
            QString(),
            QStringLiteral("0"),
            QString(),
            QStringLiteral("1"), // Resume
            QStringLiteral("0"), // ShowLogInInfo
            QStringLiteral("2"), // KAP
            QStringLiteral("2"), // Reconnect
            QStringLiteral("1"),
            QStringLiteral("1"),
            QStringLiteral("1"),
            QStringLiteral("1"),
            QStringLiteral("0"), // TransferMode
            QString(),           // firehost
            QStringLiteral("21"),
            QStringLiteral("0"), // FireType
            AsciiExtensionList::defaultItems().join(QLatin1Char(':')),
    };
    return fields.join(Separator);
}

Options Options::defaults()
{
    Options options;
    options.applyRecord(defaultRecord());
    return options;
}

void Options::applyRecord(const QString &record)
{
    RecordField::applyFields(
            record, RecordFields, [this](int n, const QString &field) { applyField(n, field); });
}

void Options::applyField(int number, const QString &field)
{
    switch (number) {
    case 1:
        DownLoadFolder = field;
        break;
    case 2:
        EMail = field;
        break;
    case 3:
        setFlag(&ConfirmDelete, field);
        break;
    case 4:
        setFlag(&ConfirmTransfer, field);
        break;
    case 5:
        setFlag(&ConfirmDisconnect, field);
        break;
    case 6:
        setNumber(&StartUpDialog, field, MainScreen, QuickConnect);
        break;
    case 7:
        setFlag(&FullrowSelect, field);
        break;
    case 8:
        setFlag(&ClearLogWin, field);
        break;
    case 9:
        setFlag(&doSND1, field);
        break;
    case 10:
        snd1 = field;
        break;
    case 11:
        setFlag(&doSND2, field);
        break;
    case 12:
        snd2 = field;
        break;
    case 13:
        setFlag(&doSND3, field);
        break;
    case 14:
        snd3 = field;
        break;
    case 15:
        setFlag(&doSND4, field);
        break;
    case 16:
        snd4 = field;
        break;
    case 17:
        setFlag(&Resume, field);
        break;
    case 18:
        setFlag(&ShowLogInInfo, field);
        break;
    case 19:
        setNumber(&KAP, field, 1, KapNever);
        break;
    case 20:
        setNumber(&Reconnect, field, 0, ReconnectNever);
        break;
    case 21:
        setFlag(&ShowMainGeneral, field);
        break;
    case 22:
        setFlag(&ShowMainIO, field);
        break;
    case 23:
        setFlag(&ShowMultiGeneral, field);
        break;
    case 24:
        setFlag(&ShowMultiIO, field);
        break;
    case 25:
        setNumber(&TransferMode, field, ProgramDecides, Ascii);
        break;
    case 26:
        firehost = field;
        break;
    case 27:
        setNumber(&FirePortPos, field, 21, 32000);
        break;
    case 28:
        setNumber(&FireType, field, UserAtHost, OpenHost);
        break;
    case 29:
        ASCExtList.load(field);
        break;
    default:
        break;
    }
}

Options Options::fromRecord(const QString &record)
{
    Options options;
    options.applyRecord(record.isEmpty() ? defaultRecord() : record);
    return options;
}

QString Options::toRecord() const
{
    const QStringList fields = {
            text(DownLoadFolder),
            text(EMail),
            flag(ConfirmDelete),
            flag(ConfirmTransfer),
            flag(ConfirmDisconnect),
            QString::number(StartUpDialog),
            flag(FullrowSelect),
            flag(ClearLogWin),
            flag(doSND1),
            text(snd1),
            flag(doSND2),
            text(snd2),
            flag(doSND3),
            text(snd3),
            flag(doSND4),
            text(snd4),
            flag(Resume),
            flag(ShowLogInInfo),
            QString::number(KAP),
            QString::number(Reconnect),
            flag(ShowMainGeneral),
            flag(ShowMainIO),
            flag(ShowMultiGeneral),
            flag(ShowMultiIO),
            QString::number(TransferMode),
            text(firehost),
            QString::number(FirePortPos),
            QString::number(FireType),
            text(ASCExtList.save()),
    };
    return fields.join(Separator);
}

Options Options::load(Registry &registry)
{
    QString record;
    QString onExists;
    if (registry.openKey(RegistryKeys::setup(), false)) {
        record = registry.readString(RegistryKeys::setupValue()).value_or(QString());
        onExists = registry.readString(RegistryKeys::onExistsValue()).value_or(QString());
    }
    Options options = fromRecord(record);
    bool ok = false;
    const int choice = onExists.toInt(&ok);
    if (ok && choice >= 0 && choice <= 6)
        options.OnExists = choice;
    return options;
}

bool Options::save(Registry &registry, QString *error) const
{
    if (!registry.openKey(RegistryKeys::setup(), true)
        || !registry.writeString(RegistryKeys::setupValue(), toRecord())
        || !registry.writeString(RegistryKeys::onExistsValue(), QString::number(OnExists))) {
        if (error)
            *error = QStringLiteral("Cannot open the key %1.").arg(RegistryKeys::setup());
        return false;
    }
    return registry.save(error);
}

int Options::maxSecsIdle(int kap)
{
    return kap < KapNever ? kap * 60 - 5 : 1313625595;
}

int Options::reconnectDelaySecs(int reconnect)
{
    if (reconnect >= ReconnectNever)
        return 1324512000;
    return reconnect == 0 ? 1 : reconnect * 5;
}

SessionOptions Options::sessionOptions(std::optional<bool> siteFirewall) const
{
    SessionOptions session;
    session.ResumeTransfers = Resume;
    session.MaxSecsIdle = maxSecsIdle(KAP);
    session.AutoTransferMode = TransferMode == ProgramDecides;
    session.BinaryMode = TransferMode != Ascii;
    if (siteFirewall) {
        session.setsFirewall = true;
        if (*siteFirewall) {
            session.FirewallHost = firehost;
            session.FirewallPort = FirePortPos;
            session.FirewallType = FireType + 1;
        } else {
            session.FirewallType = 0;
        }
    }
    session.ASCExtension = ASCExtList.engineForm();
    session.reconnectDelaySecs = reconnectDelaySecs(Reconnect);
    return session;
}

void Options::normaliseDownloadFolder()
{
    if (!DownLoadFolder.isEmpty())
        DownLoadFolder = ConvertPath(DownLoadFolder, BackslashForm);
}

QString Options::anonymousPassword() const
{
    return EMail.isEmpty() ? defaultEMail() : EMail.toLower();
}

QString Options::kapLabel(int kap)
{
    if (kap >= KapNever)
        return QStringLiteral("42 years of host in-activity.");
    return QStringLiteral("%1 minute(s) of host in-activity.").arg(kap);
}

QString Options::reconnectLabel(int reconnect)
{
    if (reconnect >= ReconnectNever)
        return QStringLiteral("42 years delay.");
    return QStringLiteral("%1 seconds delay.").arg(reconnect * 5);
}
