#include "ftp/namecodec.h"

#include "util/hosttext.h"

#include <QStringList>

namespace {

// Bytes kept as they came stand in text as lone surrogates U+DC80..U+DCFF.
bool isKeptByte(QChar c)
{
    return c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF;
}

} // namespace

bool NameCodec::setEncoding(const QString &name)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty() || trimmed.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0) {
        m_name.clear();
        return true;
    }
    QStringDecoder decoder(trimmed.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    QStringEncoder encoder(trimmed.toLatin1().constData(), QStringEncoder::Flag::Stateless);
    if (!decoder.isValid() || !encoder.isValid()) {
        m_name.clear();
        return false;
    }
    m_name = trimmed;
    m_decoder = std::move(decoder);
    m_encoder = std::move(encoder);
    return true;
}

QString NameCodec::decode(const QByteArray &bytes) const
{
    if (m_name.isEmpty())
        return DecodeHostText(bytes);
    m_decoder.resetState();
    QString text = m_decoder.decode(bytes);
    if (!m_decoder.hasError() && encode(text) == bytes)
        return text;
    // Bytes this encoding cannot give back exactly: plain ASCII stays, every other byte is kept
    // as it came.
    m_decoder.resetState();
    text.clear();
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const uchar b = uchar(byte);
        text.append(b < 0x80 ? QChar(b) : QChar(char16_t(0xDC00 + b)));
    }
    return text;
}

QByteArray NameCodec::encode(const QString &text) const
{
    if (m_name.isEmpty())
        return EncodeHostText(text);
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype runStart = 0;
    const auto flushRun = [&](qsizetype end) {
        if (end > runStart) {
            m_encoder.resetState();
            bytes.append(m_encoder.encode(QStringView(text).mid(runStart, end - runStart)));
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isKeptByte(text.at(i)))
            continue;
        flushRun(i);
        bytes.append(char(text.at(i).unicode() - 0xDC00));
        runStart = i + 1;
    }
    flushRun(text.size());
    return bytes;
}

QStringList NameCodec::availableEncodings()
{
    // The legacy character sets hosts are still met with, those this Qt can convert.
    static const char *const names[]
            = {"Windows-1252", "ISO-8859-1",   "ISO-8859-15", "Windows-1250", "ISO-8859-2",
               "Windows-1251", "KOI8-R",       "KOI8-U",      "ISO-8859-5",   "Windows-1253",
               "ISO-8859-7",   "Windows-1254", "ISO-8859-9",  "Windows-1255", "Windows-1256",
               "Windows-1257", "Shift_JIS",    "EUC-JP",      "GB18030",      "GBK",
               "Big5",         "EUC-KR",       "IBM437",      "IBM850",       "IBM866"};
    QStringList available;
    for (const char *name : names) {
        if (QStringDecoder(name).isValid())
            available << QString::fromLatin1(name);
    }
    return available;
}
