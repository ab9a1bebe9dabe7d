// Listings into the shared listing buffer: "*list", "*reload" and "*bufferfolder", the
// listing data and the end of a listing.
#include "ftp/tcftp.h"

// The listing commands arrive with the listing work; until then the session does not accept
// them and says so.
void TcFTP::runListCommand(const QString &command, const QString &argument)
{
    Q_EMIT unknownCommand(argument.isEmpty() ? command : command + QLatin1Char(' ') + argument);
}

// The final reply to LIST (other than 125/150).
void TcFTP::listReplyEnded(ReplyFlags &flags)
{
    if (!m_listing)
        return; // a plain "list" line: nothing of ours to end
    const bool started
            = m_previousCode == QLatin1String("125") || m_previousCode == QLatin1String("150");
    const bool ended = m_inCmd == QLatin1String("226") || m_inCmd == QLatin1String("250");
    if (!started) {
        // 550 for a missing folder and the like: the listing ends as failed.
        Finish(false);
        return;
    }
    if (m_data->BytesAvailable() > 0) {
        flags.cont = false; // the data handler ends it
    } else if (m_data->State() == cwNotConnected || m_data->State() == cwNIL) {
        Finish(ended);
    } else {
        flags.cont = false; // the data connection's close ends it
    }
}

void TcFTP::listingDataAvailable()
{
    const QByteArray bytes = m_data->Receive();
    if (m_listing)
        m_listBuffer.append(bytes);
}

void TcFTP::finishListing(bool success)
{
    m_listing = false;
    m_listBuffer.clear();
    Q_EMIT actionDone(caList, QString(), 0, true, success);
}
