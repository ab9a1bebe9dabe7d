#pragma once

#include "ftp/ftpreplyreader.h"
#include "ftp/listingbuffer.h"
#include "ftp/namecodec.h"
#include "ftp/tcftpexception.h"
#include "ftp/textlineends.h"
#include "net/certificateinfo.h"
#include "net/tcwinsock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class TlsContext;

// Session states. The ordinal values matter: callers compare them.
enum TcFTPStates {
    csNotConnected = 0,
    csConnecting = 1,
    csIdle = 2,
    csWaitForReply = 3,
};

// Host software recognised from the greeting.
enum TcFTPHostTypes {
    csUnchecked = 0,
    csWARFTPD = 1,
    csServU = 2,
    csMicrosoftFTP = 3,
    csWinNTFTP = 4,
    csWUFTPD = 5,
    csUnknown = 6,
};

// What a completed (or progressing) action was.
enum TcFTPActionType {
    caList = 0,         // listing data arrived (done false) or listing finished (done true)
    caDownload = 1,     // data arrived (done false, size = IOPos) or finished (size = IOSize)
    caUpload = 2,       // upload finished (done true, size = IOSize)
    caRemoveFolder = 3, // reply to RMD, or a folder found gone by a reload
    caDelete = 4,       // reply to DELE (fileFolder = the file)
    caMakeFolder = 5,   // reply to MKD, or a folder found new by a reload
    caBufferFolder = 6, // "*bufferfolder" accepted (done false)
    caChangeFolder = 7, // reply to CWD (fileFolder = the folder now current)
};

// What Connect needs to reach and log in to a host.
struct TcFTPSession
{
    QString Host;
    QString Port;
    QString Username;
    QString Password;
};

// How a session protects its connections. The values are kept in site records.
enum TcFTPEncryption {
    ceExplicitIfAvailable = 0, // AUTH TLS; a host that refuses it is used in plain, with a warning
    ceExplicitRequired = 1,    // AUTH TLS; a refusal ends the session before the login is sent
    ceImplicit = 2,            // TLS from the first byte (port 990 by default)
    cePlainOnly = 3,
};

// What a session trusts and requires of TLS. Front ends choose the mode; a session left alone
// speaks plain FTP.
struct TcFTPSecurity
{
    TcFTPEncryption encryption = cePlainOnly;
    QString authorityFile; // PEM authorities trusted besides the system's; empty: none
    // SHA-256 of the host certificate the site pinned (64 lower-case hex digits): exactly that
    // certificate is accepted, verified or not. Empty: the certificate must verify.
    QString pinnedFingerprint;
    // Certificates accepted for this run without asking (fingerprints as above).
    QStringList trustedFingerprints;
};

Q_DECLARE_METATYPE(TcFTPStates)
Q_DECLARE_METATYPE(TcFTPActionType)

// One FTP client session: a control connection, a data connection, a queue of command lines
// and the local file of the transfer in progress.
//
// The owner sets the options (PassiveMode, ResumeTransfers, AutoTransferMode/SetBinaryMode,
// ASCExtension, the firewall, MaxSecsIdle, QuitBeforeIdle, LoginScript, the listing buffer),
// calls Connect, and once the session is idle after login drives it with command lines:
// AddCommand(line) then Execute(). Command lines are plain FTP commands ("pwd", "cwd \pub\",
// "dele \pub\a.txt": the argument of cwd/mkd/rmd/dele/retr/stor is an internal path and is
// sent in slash form) or the session's own commands:
//     *download <host file>*<local file>   host file in internal form, must be in the listing
//                                          buffer (its size comes from there)
//     *upload <local file>*<host file>[*<offset>]
//                                          with an offset (binary only) REST offset, then STOR
//                                          sends the local file from there on
//     *rename <old host path>*<new name>   RNFR old path, RNTO old path's folder + new name
//     *list [folder], *reload folder, *bufferfolder folder
// Local files are internal local paths (platform/localpath.h).
//
// Everything the session learns is reported through its signals, emitted synchronously from
// inside the call or notification that caused them; handlers may call back into the session
// (AddCommand and Execute from inside actionDone, for example).
//
// Exceptions (TcFTPException) leave only Connect, AddCommand, Execute and Disconnect when the
// owner calls them; inside notifications and the timer every failure is caught and reported.
class TcFTP : public QObject
{
    Q_OBJECT

public:
    // Of the lines of one reply before its final line, at most this many (and this many
    // characters) are reported; one line then says how many more were left out.
    static constexpr int MaxShownReplyLines = 1000;
    static constexpr qsizetype MaxShownReplyText = 256 * 1024;
    static constexpr int DefaultReplyTimeout = 120;
    // Seconds an aborted session waits for the host's final reply before it disconnects.
    static constexpr int AbortReplySeconds = 30;

    explicit TcFTP(QObject *parent = nullptr);
    ~TcFTP() override;

    // Operations ---------------------------------------------------------------------------

    // Starts connecting (csConnecting); only in csNotConnected, else 4222 and nothing changes.
    // With a FirewallType other than 0 the control connection goes to FirewallHost:FirewallPort
    // while Host keeps the real host name.
    void Connect(const TcFTPSession &session);
    // Appends a command line to the queue; an empty line raises 32232. Lines queued before the
    // login completes are replaced by the LoginScript.
    void AddCommand(const QString &line);
    // Runs the queue: own commands expand in front of it, the next host command is sent and
    // the reply continues the work; an empty queue makes the session idle (or disconnects it
    // with QuitBeforeIdle). An own command that failed has already been reported and the queue
    // has gone on; Execute then raises 1241.
    void Execute();
    // Stops what the session is doing: the queue is emptied, and a transfer or listing in
    // progress ends at once as failed (its local file closed, its data connection closed, its
    // failure reported under its own name). While the host still owes the final reply to the
    // last command sent, the session stays in csWaitForReply and sends nothing until that
    // reply has come; only then is it idle. A host that stays silent for AbortReplySeconds is
    // disconnected.
    void Abort();
    // Ends the session (no QUIT): a transfer in progress ends as failed, the control connection
    // is closed, the state becomes csNotConnected. 16631 when not connecting or connected.
    void Disconnect();
    // Goes on with a certificate that certificateUntrusted reported, and accepts it again
    // without asking for as long as this session's Security holds it. Called from inside the
    // signal's handler or later; does nothing when no certificate waits.
    void TrustCertificate();
    // The transfer type used when AutoTransferMode is false ("type i" is sent after login).
    void SetBinaryMode(bool binary) { m_binaryMode = binary; }

    // Properties ---------------------------------------------------------------------------

    TcFTPSecurity Security() const { return m_security; }
    // Takes effect with the next Connect.
    void setSecurity(const TcFTPSecurity &security) { m_security = security; }
    // The control connection runs over TLS with a certificate that was accepted.
    bool Secured() const { return m_control->Encrypted() && !m_certificateHeld; }
    // Data connections run over TLS (the host accepted PROT P).
    bool DataProtected() const { return m_dataProtected; }
    QString Host() const { return m_host; }
    QString Port() const { return m_port; }
    void setPort(const QString &port) { m_port = port; }
    QString Username() const { return m_username; }
    void setUsername(const QString &name) { m_username = name; }
    QString Password() const { return m_password; }
    void setPassword(const QString &password) { m_password = password; }
    bool PassiveMode() const { return m_passiveMode; }
    void setPassiveMode(bool passive) { m_passiveMode = passive; }
    TcFTPStates State() const { return m_state; }
    // Lines queued right after login, separated by CR LF.
    QString LoginScript() const { return m_loginScript; }
    void setLoginScript(const QString &script) { m_loginScript = script; }
    bool QuitBeforeIdle() const { return m_quitBeforeIdle; }
    void setQuitBeforeIdle(bool quit) { m_quitBeforeIdle = quit; }
    int SecsIdle() const { return m_secsIdle; }
    // Idle seconds after which a NOOP is sent; below 1 never.
    int MaxSecsIdle() const { return m_maxSecsIdle; }
    void setMaxSecsIdle(int secs) { m_maxSecsIdle = secs; }
    // Seconds the session waits for progress while it expects the host: Connect for the
    // greeting, a command for its final reply. A command sent, a final reply other than a
    // preliminary (1xx) one and data moving on the data connection are progress; preliminary
    // replies, continuation lines and replies the session ignores are not. Past it the session
    // warns and disconnects. Below 1 never.
    int ReplyTimeout() const { return m_replyTimeout; }
    void setReplyTimeout(int secs) { m_replyTimeout = secs; }
    int SecsOnline() const { return m_secsOnline; }
    int Idles() const { return m_idles; }
    void setIdles(int idles) { m_idles = idles; }
    bool ResumeTransfers() const { return m_resumeTransfers; }
    void setResumeTransfers(bool resume) { m_resumeTransfers = resume; }
    bool AutoTransferMode() const { return m_autoTransferMode; }
    void setAutoTransferMode(bool automatic) { m_autoTransferMode = automatic; }
    bool BinaryMode() const { return m_binaryMode; }
    // Extensions (without ".") transferred as ASCII: sorted, without regard to case, no
    // duplicates.
    QStringList ASCExtension() const { return m_ascExtension; }
    void setASCExtension(const QStringList &extensions);
    bool LoggedIn() const { return m_loggedIn; }
    QString IP() const { return m_ip; }
    QString InCmd() const { return m_inCmd; }
    QString OutCmd() const { return m_outCmd; }
    QString PreviousCode() const { return m_previousCode; }
    QString ReplyLine() const { return m_replyLine; }
    QString CommandLine() const { return m_commandLine; }
    // Lines still to execute, front first.
    QStringList CommandQueue() const { return m_commandQueue; }
    // Current host folder in internal form ("\pub\").
    QString Folder() const { return m_folder; }
    QString ServerFolder() const { return m_serverFolder; }
    TcFTPHostTypes HostType() const { return m_hostType; }
    // 0 host paths use "/", 1 "\", 2 neither (learnt from PWD).
    int PathType() const { return m_pathType; }
    int ListType() const { return m_listType; }
    // 0 none, 1 "user name@host" to the firewall, 2 "open host" then "user name".
    int FirewallType() const { return m_firewallType; }
    void setFirewallType(int type) { m_firewallType = type; }
    QString FirewallHost() const { return m_firewallHost; }
    void setFirewallHost(const QString &host) { m_firewallHost = host; }
    int FirewallPort() const { return m_firewallPort; }
    void setFirewallPort(int port) { m_firewallPort = port; }
    bool Listing() const { return m_listing; }
    bool Reloading() const { return m_reloading; }
    bool Buffering() const { return m_buffering; }
    // Bounds of a tree walk: levels below its top folder, and folders listed in one walk.
    // A host whose folders nest without end (or list themselves under a new name each time)
    // is walked only this far.
    static constexpr int DefaultMaxTreeDepth = 64;
    static constexpr int DefaultMaxTreeFolders = 100000;
    void setTreeWalkBounds(int depth, int folders)
    {
        m_maxTreeDepth = depth;
        m_maxTreeFolders = folders;
    }
    bool Downloading() const { return m_downloading; }
    bool Uploading() const { return m_uploading; }
    // Why the last transfer or listing failed when the session itself knows the reason ("cannot
    // listen for a data connection: Too many open files", "cannot write the local file: No
    // space left on device", a data connection that broke off or brought fewer bytes than the
    // host announced); empty after a success, and when only the host's reply tells (ReplyLine).
    QString FailureReason() const { return m_failureReason; }
    // The last transfer ended because a connection broke off under it: the host closed or
    // reset the control or the data connection, answered 421, or moved nothing within
    // ReplyTimeout. False when the owner stopped it (Abort, Disconnect) or a local file failed.
    bool ConnectionLost() const { return m_connectionLost; }
    // Transfer progress; -1 when no transfer is running.
    qint64 IOPos() const { return m_ioPos; }
    qint64 IOTransfered() const { return m_ioTransfered; }
    qint64 IOSize() const { return m_ioSize; }
    int IOTime() const { return m_ioTime; }
    QString IOsrcFile() const { return m_ioSrcFile; }
    QString IOdstFile() const { return m_ioDstFile; }
    QString IOsrcFolder() const { return m_ioSrcFolder; }
    QString IOdstFolder() const { return m_ioDstFolder; }
    // The shared listing buffer (not owned); must be set before "*download" or "*list".
    ListingBuffer *listingBuffer() const { return m_listingBuffer; }
    void setListingBuffer(ListingBuffer *buffer) { m_listingBuffer = buffer; }

    // What the host offered in its answer to FEAT after login: upper-case feature names ("UTF8",
    // "EPSV", "MLST", "MDTM", "MFMT", "SIZE") with their parameters as the host wrote them
    // ("type*;size*;modify*;"). Empty for a host that refused FEAT (a plain RFC 959 host) and
    // before login; kept until the session ends.
    QMap<QString, QString> HostFeatures() const { return m_features; }
    bool HostOffers(const QString &feature) const { return m_features.contains(feature); }
    // Passive data connections are asked for with EPSV (the host offers it, or the connection
    // is IPv6) until the host refuses it once; PASV from then on.
    bool UsesEpsv() const;
    // Folders are listed with MLSD (the host offers MLST) rather than LIST.
    bool UsesMlsd() const { return HostOffers(QStringLiteral("MLST")); }

    // The character set of the host's names: empty for the automatic choice (UTF-8, asked for
    // with OPTS UTF8 ON when the host offers it), else a legacy encoding from Qt's list, used
    // for every name and reply and never switched by OPTS. False for a name Qt does not know.
    bool setNameEncoding(const QString &name) { return m_nameCodec.setEncoding(name); }
    QString NameEncoding() const { return m_nameCodec.encoding(); }

    // The control and data sockets, for observers (read only use).
    const TcWinsock *controlSocket() const { return m_control; }
    const TcWinsock *dataSocket() const { return m_data; }

Q_SIGNALS:
    // Every change of State.
    void stateChanged(TcFTPStates newState);
    // Every line on the control connection, without CR LF: fromHost true for a received line,
    // false for a command line just sent (exactly as sent, password included). valid is false
    // only for a final reply the session did not expect (for example 220 after login) and for a
    // line that is no reply at all. Of a reply's lines before its final line only the first
    // MaxShownReplyLines (MaxShownReplyText characters) come; then one line
    // "(N more lines of this reply not shown)" comes before the final line.
    void textIO(const QString &line, bool fromHost, bool valid);
    // Progress and results of actions. fileFolder is empty for caList, caDownload and
    // caUpload, else a host path in internal form.
    void actionDone(TcFTPActionType action,
                    const QString &fileFolder,
                    qint64 size,
                    bool done,
                    bool success);
    // An own command line the session does not accept ("cFTPc: Unknown Input Command."); the
    // queue goes on with the next line.
    void unknownCommand(const QString &line);
    // Something the user must know of: a command line refused because it holds CR, LF or NUL;
    // a data connection refused because it did not come from the host; a reply line or a reply
    // too long, a line that is no reply, no progress within ReplyTimeout (these three end the
    // session).
    void warning(const QString &text);
    // A tree walk ("*bufferfolder") left folder out: it lies too deep below the walk's top, or
    // the walk has gone through as many folders as one operation may. The walk goes on with
    // the rest; what it buffered is not the whole tree.
    void treeWalkBounded(const QString &folder, const QString &reason);
    // A listing of folder held an entry whose name cannot be a file name (control characters,
    // "\\"): it is left out of the listing; line is the host's listing line.
    void entryRefused(const QString &folder, const QString &line);
    // The control connection's TLS handshake is done (version "TLSv1.3", cipher name).
    void secured(const QString &version, const QString &cipher);
    // The host's certificate could not be accepted: it does not verify against the trusted
    // authorities and the host name (problem says why), or it is not the one the site pinned
    // (pinnedFingerprint, else empty). The session waits, reading nothing more from the host,
    // until the owner calls TrustCertificate or Disconnect.
    void certificateUntrusted(const CertificateInfo &certificate,
                              const QString &problem,
                              const QString &pinnedFingerprint);
    // A failure caught inside a notification or the timer (number and message as
    // TcFTPException gives them).
    void internalError(int number, const QString &message);

private:
    // Flags of one final reply: Continue runs Execute afterwards.
    struct ReplyFlags
    {
        bool cont = true;
        bool progress = true; // the reply moves the dialogue on (not ignored, not 1xx)
    };

    // tcftp.cpp: object, state, timer, socket states
    void setState(TcFTPStates state);
    void resetTransferFields();
    // The connection has ended: the type the host was set to goes with it.
    void forgetHostType();
    void timerTick();
    void checkReplyDeadline();
    void controlStateChanged(TcWinsockStates newState);
    void dataStateChanged(TcWinsockStates newState);
    void controlDataNeeded();
    void reportInternalError(int number, const QString &message);
    template<typename F>
    void guarded(int number, F &&body);

    // tcftp_login.cpp: replies, login, disconnect
    void controlDataAvailable();
    void processLine(const FtpReplyReader::Line &line);
    void reportReplyText(const QString &text);
    void protocolError(const QString &text);
    void dispatchReply(ReplyFlags &flags);
    bool replyExpected() const;
    void loginComplete();
    void disconnectQuietly();

    // tcftp_features.cpp: FEAT, EPSV/EPRT, modification times
    void featReplied();
    struct MlstFacts
    {
        QString plain; // "type;size;modify;" as the host spells them, or empty
        QString walk;  // the same with unique, when the host offers it
        bool uniqueOffered = false;
        bool uniqueByDefault = false;
        bool askAfterLogin = false; // the host sends neither set by default
    };
    MlstFacts mlstFacts() const;
    void askUniqueForWalk();
    void epsvReplied();
    // The code is one a host gives for a command it does not know or will not take.
    static bool isRefusal(const QString &code);
    // The host's modification time of the file to download: from the listing when it gave one
    // to the second, else asked with MDTM (a line for the queue, or empty).
    QString downloadTimeCommand(const QString &folder, const QString &name);
    void mdtmReplied();
    // Gives the downloaded file the host's modification time, when it is known.
    void stampDownload();
    // After STOR: "mfmt" with the local file's modification time, when the host offers it; the
    // upload is reported done once the host answered. False when nothing was queued.
    bool queueUploadTime();
    // 213 to SIZE of a download whose listing gave no size: the size, and a resume from the
    // local partial when it is smaller.
    void sizeReplied();
    // tcftp_tls.cpp: AUTH TLS, PBSZ, PROT and the host's certificate
    void startControlTls();
    // Sends userLine, after AUTH TLS when the session wants explicit TLS.
    void sendLogin(const QString &userLine);
    void authReplied(ReplyFlags &flags);
    void protReplied();
    void controlEncrypted();
    bool certificateAccepted();
    void continueAfterTls();
    void queueDataProtection();
    void reportTlsFailure(const TcWinsock *socket, bool dataConnection);

    // tcftp_transfer.cpp: command language, setting up transfers and data connections
    bool runQueue();
    void runOwnCommand(const QString &line);
    bool sendHostCommand(const QString &queued);
    void refuseCommandLine(const QString &line);
    void startDownload(const QString &argument);
    void startUpload(const QString &argument);
    void startRename(const QString &argument);
    QString transferTypeCommand(const QString &name, bool wantBinary) const;
    // The name's extension is in the ASCII list.
    bool hasAsciiExtension(const QString &name) const;
    QString dataConnectionCommand();
    // The type command a transfer of name needs (none when the type is right already), then "pasv"
    // or "port ..." after opening the listener in active mode; throws when that fails.
    QStringList dataSetupCommands(const QString &name, bool wantBinary);
    void listenForHost();
    void prepareDataSocket();
    // Opens the passive data connection to the control connection's peer on port, or closes
    // the data socket when port is no port.
    void openPassiveConnection(int port);
    void dataConnectionRefused();
    // tcftp_tls.cpp: a protected data connection's handshake, once it is connected and the host
    // has taken the transfer on.
    void startDataTls();

    // tcftp_data.cpp: transfer ends, data connection notifications, Finish, Abort
    void transferAccepted();
    void retrEnded(ReplyFlags &flags);
    void storEnded();
    void restRefused();
    void dataAvailable();
    // After data has been read: when the data connection has closed with nothing left to read
    // and the final reply already came after the 125/150, ends the transfer with that reply.
    void endIfDataDrained();
    void dataNeeded();
    void Finish(bool success);
    void closeDataSocket(bool linger);
    void emitProgress(TcFTPActionType action, qint64 size);

    // tcftp_localfile.cpp: the transfer's local file
    // Opens the local file once the host has accepted the download: appended to when resuming,
    // a part file next to it when it replaces an existing file, else the file itself.
    bool openDownloadFile();
    // Takes received bytes (converting line ends in type A) and writes them out in blocks.
    bool storeDownloadBytes(QByteArrayView bytes);
    // The bytes of m_received go to the file, or join the write buffer when they are few.
    bool keepReceived();
    bool flushDownload();
    bool writeDownload(const char *data, qint64 size);
    // Writes out what is left and closes the file; a part file replaces the old file when the
    // download succeeded and is removed otherwise. Returns whether the download succeeded.
    bool closeDownloadFile(bool success);
    bool openPartFile(const QString &finalPath);
    bool replaceWithPartFile();
    bool fillSendBlock();
    // Marks the transfer failed; the first reason given is the one reported.
    void failTransfer(const QString &reason);

    // tcftp_listing.cpp: listings into the shared buffer
    void runListCommand(const QString &command, const QString &argument);
    void listReplyEnded(ReplyFlags &flags);
    void listingDataAvailable();
    void parseListingLines(qsizetype searchFrom, bool atEnd);
    void addListingLine(QByteArrayView line);
    void addFactLine(const QString &text);
    // 250 to MLST of a tree walk's top: its unique fact, so that a link back to it is known.
    void mlstReplied();
    void finishListing(bool success);
    void queueSubfolders();
    void reportUnsafeName(const QString &line);
    void reportReloadedFolders(const ListingBuffer::EntryList &old);

    // Control connection
    TcWinsock *m_control = nullptr;
    FtpReplyReader m_replies;
    QString m_replyLine;
    QString m_inCmd;
    QString m_previousCode;
    QString m_commandLine;
    QString m_outCmd;
    QStringList m_commandQueue;
    QByteArray m_controlBacklog; // command bytes the control socket has not taken yet
    int m_replyLinesShown = 0;   // lines of the reply being read that were reported
    qsizetype m_replyTextShown = 0;
    int m_replyLinesSkipped = 0; // lines of it left out
    int m_replyTimeout = DefaultReplyTimeout;
    QElapsedTimer m_sinceProgress; // since the last progress while the host is expected
    qint64 m_movedAtProgress = 0;  // data bytes moved, as seen at the last progress
    qint64 m_listBytes = 0;        // listing bytes received

    // TLS
    TcFTPSecurity m_security;
    std::shared_ptr<TlsContext> m_tlsContext;
    QString m_userLine;             // the login's first command, sent once TLS is up
    bool m_dataProtected = false;   // PROT P accepted
    bool m_dataAccepted = false;    // 125/150 to the transfer or listing the data connection is for
    bool m_certificateHeld = false; // waiting for the owner to trust the certificate
    bool m_askingTrust = false;     // inside certificateUntrusted's handlers

    // Data connection
    TcWinsock *m_data = nullptr;
    QByteArray m_listBuffer;
    QByteArray m_readAhead;     // upload: file bytes read, sent from here in 4096-byte blocks
    qsizetype m_sendOffset = 0; // upload: first byte of m_readAhead not yet sent
    qsizetype m_blockEnd = 0;   // upload: end of the block being sent
    bool m_fileAtEnd = false;   // upload: the whole file has been read
    QByteArray m_readRaw;       // type-A upload: file bytes before their line ends are converted
    QByteArray m_writeBuffer;   // download: bytes not yet written to the file
    // Binary download: slices received and counted but still in the data socket's buffer,
    // where they lie one after the other; they go out before that buffer is read into again.
    QByteArrayView m_received;
    QFile m_transferFile;
    QString m_localFile;    // native path of the transfer's local file
    QString m_partFile;     // download: the part file written instead of an existing file
    QString m_replacedFile; // download: the file the part file replaces once it succeeded
    TextLineEnds m_lineEnds;
    bool m_asciiTransfer = false; // the transfer goes in type A: line ends are converted
    qint64 m_announcedSize = -1;  // download: the size the 150/125 reply announced, or -1
    QString m_ioSrcFolder;
    QString m_ioSrcFile;
    QString m_ioDstFolder;
    QString m_ioDstFile;
    qint64 m_ioPos = -1;
    qint64 m_ioTransfered = -1;
    qint64 m_ioSize = -1;
    int m_ioTime = -1;
    bool m_transferStarted = false; // the host accepted the transfer (125/150 or data)
    bool m_transferFailed = false;  // a local read/write failed: the transfer cannot succeed

    QString m_ip;
    QStringList m_ascExtension;
    bool m_passiveMode = false;
    QTimer m_timer;
    int m_secsIdle = 0;
    int m_secsOnline = 0;
    int m_maxSecsIdle = 0;
    bool m_autoTransferMode = true;
    bool m_binaryMode = false;
    bool m_resumeTransfers = true;
    bool m_listing = false;
    bool m_reloading = false;
    bool m_downloading = false;
    bool m_uploading = false;
    bool m_buffering = false;
    QStringList m_bufferFolders;
    QString m_bufferRoot;   // top of the tree walk, internal folder form
    int m_bufferWalked = 0; // folders listed by this walk
    int m_maxTreeDepth = DefaultMaxTreeDepth;
    int m_maxTreeFolders = DefaultMaxTreeFolders;
    TcFTPHostTypes m_hostType = csUnchecked;
    int m_firewallType = 0;
    int m_firewallPort = 0;
    QString m_firewallHost;
    bool m_firewallOpened = false; // type 2: "open host" was sent, the next 220 is the host's
    QString m_folder;
    QString m_serverFolder;
    int m_pathType = 0;
    int m_listType = 0;
    ListingBuffer::EntryList m_listResult;
    QDateTime m_listNow;           // one "now" for every line of a listing (dates without year)
    bool m_listFromBuffer = false; // the listing in progress is served from the buffer
    TcFTPStates m_state = csNotConnected;
    QString m_host;
    QString m_port;
    QString m_username;
    QString m_password;
    int m_idles = 0;
    QString m_renameTo;
    bool m_quitBeforeIdle = false;
    bool m_loggedIn = false;
    QString m_loginScript;
    ListingBuffer *m_listingBuffer = nullptr;
    QMap<QString, QString> m_features; // FEAT's answer, by upper-case name
    QStringList m_featLines;           // lines of the FEAT reply being read
    bool m_epsvRefused = false;        // the host refused EPSV once: PASV for the session
    bool m_listMlsd = false;           // the listing in progress comes from MLSD
    bool m_mlstUnique = false;         // MLSD entries carry the unique fact
    QSet<QString> m_walkUniques;       // unique facts of the folders a tree walk has met
    QDateTime m_downloadModified;      // the host's time of the file being downloaded (UTC)
    qint64 m_resumeCandidate = -1;     // size of a local partial waiting for SIZE's answer
    NameCodec m_nameCodec;

    quint64 m_commandsSent = 0;  // counts host commands sent, to stop a re-entered queue run
    bool m_replyPending = false; // the host owes the final reply to the last command sent
    int m_abortWait = -1;        // seconds waited for that reply after an abort; -1 none
    QString m_failureReason;
    bool m_connectionLost = false; // see ConnectionLost()
    bool m_keepLastData = false;   // the host hung up: its last data bytes are still stored
    int m_ownCommandFailure = 0;   // number of the last own command failure in this run
    bool m_quietData = false;      // closing the data socket ourselves: its close ends nothing
};
