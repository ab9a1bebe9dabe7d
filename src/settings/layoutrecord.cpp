#include "settings/layoutrecord.h"

#include "settings/recordfield.h"
#include "settings/registry.h"
#include "settings/registrykeys.h"

using RecordField::flag;
using RecordField::setFlag;
using RecordField::setNumber;
using RecordField::text;

namespace {

const QChar Cr = QLatin1Char('\r');
const QChar Lf = QLatin1Char('\n');

// Record fields 12-16, 23-26, 27-30 and 31-34 hold these ViewLayout entries in this order.
constexpr int FirstBlock[] = {0, 5, 6, 11, 12};
constexpr int FirstBlockField = 12;
constexpr int SecondBlockField = 23; // entries 1-4, then 7-10 from 27, then 13-16 from 31

void setSize(int *target, const QString &field)
{
    setNumber(target, field, 0, LayoutRecord::MaxSize);
}

QString number(int value)
{
    return QString::number(value);
}

} // namespace

int LayoutRecord::fieldOfViewLayout(int index)
{
    for (int i = 0; i < 5; ++i) {
        if (FirstBlock[i] == index)
            return FirstBlockField + i;
    }
    // 1-4 -> 23-26, 7-10 -> 27-30, 13-16 -> 31-34
    if (index >= 1 && index <= 4)
        return SecondBlockField + index - 1;
    if (index >= 7 && index <= 10)
        return SecondBlockField + 4 + index - 7;
    if (index >= 13 && index <= 16)
        return SecondBlockField + 8 + index - 13;
    return 0;
}

QString LayoutRecord::defaultRecord()
{
    return LayoutRecord().toRecord();
}

LayoutRecord LayoutRecord::defaults()
{
    return LayoutRecord();
}

void LayoutRecord::applyRecord(const QString &record)
{
    RecordField::applyFields(
            record, RecordFields, [this](int n, const QString &field) { applyField(n, field); });
}

void LayoutRecord::applyField(int number, const QString &field)
{
    if ((number >= 12 && number <= 16) || (number >= 23 && number <= 34)) {
        for (int index = 0; index < ViewLayoutEntries; ++index) {
            if (fieldOfViewLayout(index) == number)
                setSize(&ViewLayout[index], field);
        }
        return;
    }
    switch (number) {
    case 1:
        setSize(&width, field);
        break;
    case 2:
        setSize(&height, field);
        break;
    case 3:
        setNumber(&left, field, -MaxSize, MaxSize);
        break;
    case 4:
        setNumber(&top, field, -MaxSize, MaxSize);
        break;
    case 5:
        setNumber(&windowState, field, Normal, Maximised);
        break;
    case 6:
        setNumber(&viewMode, field, SingleView, TaskView);
        break;
    case 7:
    case 8:
    case 9:
    case 10:
        setSize(&lWinColumns[number - 7], field);
        break;
    case 11:
        setSize(&lPathTreeHeight, field);
        break;
    case 17:
        setSize(&taskViewHeight, field);
        break;
    case 18:
        setFlag(&largeButtons, field);
        break;
    case 19:
        setNumber(&lWinViewStyle, field, Icons, Details);
        break;
    case 20:
        setNumber(&rWinViewStyle, field, Icons, Details);
        break;
    case 21:
        setSize(&taskViewColumn, field);
        break;
    case 22:
        setSize(&queueViewColumn, field);
        break;
    case 35:
        setSize(&logwinHeight, field);
        break;
    case 36:
        if (field.contains(Cr))
            localBookmarks = bookmarksFromText(field);
        break;
    case 37:
        setFlag(&labelsShown, field);
        break;
    case 38:
        font.applyString(field);
        break;
    default:
        break;
    }
}

LayoutRecord LayoutRecord::fromRecord(const QString &record)
{
    LayoutRecord layout;
    layout.applyRecord(record.isEmpty() ? defaultRecord() : record);
    return layout;
}

QString LayoutRecord::toRecord() const
{
    QStringList fields;
    fields.reserve(RecordFields);
    fields << number(width) << number(height) << number(left) << number(top) << number(windowState)
           << number(viewMode);
    for (const int column : lWinColumns)
        fields << number(column);
    fields << number(lPathTreeHeight);
    for (const int index : FirstBlock)
        fields << number(ViewLayout[index]);
    fields << number(taskViewHeight);
    // The button style is written as glyph and caption; field 37 says whether captions show.
    fields << flag(true);
    fields << number(lWinViewStyle) << number(rWinViewStyle) << number(taskViewColumn)
           << number(queueViewColumn);
    for (int index : {1, 2, 3, 4, 7, 8, 9, 10, 13, 14, 15, 16})
        fields << number(ViewLayout[index]);
    fields << number(logwinHeight) << bookmarksText() << flag(labelsShown) << font.toString();
    return fields.join(RecordField::Separator);
}

namespace {

bool storableFolder(const QString &folder)
{
    return !folder.contains(RecordField::Separator) && !folder.contains(Cr) && !folder.contains(Lf);
}

} // namespace

QString LayoutRecord::bookmarksText() const
{
    QStringList entries;
    for (const QString &entry : localBookmarks) {
        const int cr = entry.indexOf(Cr);
        const QString name = cr < 0 ? entry : entry.left(cr);
        const QString folder = cr < 0 ? QString() : entry.mid(cr + 1);
        if (!storableFolder(folder))
            continue;
        entries << text(name, QStringLiteral("*\r\n")) + Cr + folder;
    }
    return entries.join(Lf);
}

QStringList LayoutRecord::unstorableBookmarks() const
{
    QStringList left;
    for (const QString &entry : localBookmarks) {
        const int cr = entry.indexOf(Cr);
        if (!storableFolder(cr < 0 ? QString() : entry.mid(cr + 1)))
            left << entry;
    }
    return left;
}

QStringList LayoutRecord::bookmarksFromText(const QString &text)
{
    QStringList entries;
    if (!text.contains(Cr))
        return entries;
    for (const QString &piece : text.split(Lf)) {
        if (piece.contains(Cr))
            entries << piece;
    }
    return entries;
}

LayoutRecord LayoutRecord::load(Registry &registry)
{
    QString record;
    if (registry.openKey(RegistryKeys::setup(), false))
        record = registry.readString(RegistryKeys::screenValue()).value_or(QString());
    return fromRecord(record);
}

bool LayoutRecord::save(Registry &registry, QString *error) const
{
    if (!registry.openKey(RegistryKeys::setup(), true)
        || !registry.writeString(RegistryKeys::screenValue(), toRecord())) {
        if (error)
            *error = QStringLiteral("Cannot open the key %1.").arg(RegistryKeys::setup());
        return false;
    }
    return registry.save(error);
}

std::optional<QByteArray> LayoutRecord::loadToolbars(Registry &registry)
{
    if (!registry.openKey(RegistryKeys::toolbars(), false))
        return std::nullopt;
    return registry.readBinary(RegistryKeys::toolbarsValue());
}

bool LayoutRecord::saveToolbars(Registry &registry, const QByteArray &state, QString *error)
{
    if (!registry.openKey(RegistryKeys::toolbars(), true)
        || !registry.writeBinary(RegistryKeys::toolbarsValue(), state)) {
        if (error)
            *error = QStringLiteral("Cannot open the key %1.").arg(RegistryKeys::toolbars());
        return false;
    }
    return registry.save(error);
}
