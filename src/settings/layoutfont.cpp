#include "settings/layoutfont.h"

#include "settings/recordfield.h"

#include <QStringList>

using RecordField::setNumber;

namespace {
const QChar FontSeparator = QLatin1Char(':');
} // namespace

void LayoutFont::applyString(const QString &fontString)
{
    RecordField::applyFields(
            fontString,
            5,
            [this](int n, const QString &part) {
                switch (n) {
                case 1:
                    setNumber(&colour, part, 0, 0xFFFFFF);
                    break;
                case 2:
                    setNumber(&height, part, -1000, 1000);
                    break;
                case 3:
                    if (!part.trimmed().isEmpty())
                        face = part;
                    break;
                case 4:
                    setNumber(&pitch, part, DefaultPitch, FixedPitch);
                    break;
                case 5:
                    setNumber(&size, part, 1, 1000);
                    break;
                }
            },
            FontSeparator);
}

LayoutFont LayoutFont::fromString(const QString &fontString)
{
    LayoutFont font;
    font.applyString(fontString);
    return font;
}

QString LayoutFont::toString() const
{
    return QStringList{QString::number(colour),
                       QString::number(height),
                       RecordField::text(face, QStringLiteral(":*")),
                       QString::number(pitch),
                       QString::number(size)}
            .join(FontSeparator);
}
