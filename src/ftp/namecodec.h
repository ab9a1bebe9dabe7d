#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// How the names of one host travel as bytes. Without an encoding (the automatic choice) names
// are UTF-8 and bytes that are not are kept as they came (DecodeHostText); with a legacy
// encoding from Qt's list ("Windows-1252", "ISO-8859-2", "Shift_JIS") names are read and written
// in it. Either way a name goes back to the host in exactly the bytes it came in: text that the
// encoding cannot give back byte for byte is kept the automatic way.
class NameCodec
{
public:
    // Empty (or "UTF-8") is the automatic choice. Returns false, and keeps the automatic
    // choice, for a name Qt does not know.
    bool setEncoding(const QString &name);
    // The legacy encoding's name; empty for the automatic choice.
    QString encoding() const { return m_name; }
    bool isLegacy() const { return !m_name.isEmpty(); }

    QString decode(const QByteArray &bytes) const;
    QByteArray encode(const QString &text) const;

    // Every encoding name Qt offers here, for the site dialog and the CLI's help.
    static QStringList availableEncodings();

private:
    QString m_name;
    mutable QStringDecoder m_decoder;
    mutable QStringEncoder m_encoder;
};
