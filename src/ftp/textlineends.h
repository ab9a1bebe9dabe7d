#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Line ends of transfer type A: CR LF on the wire, LF in local files.
//
// One object serves one transfer in one direction. Text comes in pieces of any size (the data
// connection's slices, the file's blocks); a CR LF split between two pieces is converted as if
// it had come whole. Output is appended to a buffer the caller owns, so a caller that reserves
// room in it once allocates nothing per piece.
class TextLineEnds
{
public:
    // Forgets what the last transfer left (a CR held back, the last byte sent).
    void reset();

    // Wire to local: appends text to out with each CR LF turned into LF; a CR or LF on its own
    // is kept. A CR that ends text is held back until the next piece shows what follows it.
    void receive(QByteArrayView text, QByteArray &out);
    // The received text has ended: a CR still held back is appended.
    void finishReceiving(QByteArray &out);

    // Local to wire: appends text to out with each LF sent as CR LF. An LF that follows a CR
    // (a CR LF already in the file) is sent as it is, so it stays one line end.
    void send(QByteArrayView text, QByteArray &out);

private:
    bool m_heldCR = false; // receive: the last piece ended with a CR, not yet appended
    bool m_sentCR = false; // send: the last piece ended with a CR
};
