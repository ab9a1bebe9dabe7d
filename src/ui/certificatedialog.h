#pragma once

#include "net/certificateinfo.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The question a host's certificate raises when it cannot be accepted as it stands: it does
// not verify, or it is not the one the site pinned. It shows the certificate (subject, issuer,
// validity, SHA-256 fingerprint) and why, and offers to trust it for this session, to trust it
// always (the site keeps its fingerprint; only offered for a saved site), or to cancel.
class CertificateDialog : public QDialog
{
    Q_OBJECT

public:
    enum Choice { Cancelled, TrustForSession, TrustAlways };

    CertificateDialog(const CertificateInfo &certificate,
                      const QString &problem,
                      const QString &pinnedFingerprint,
                      bool canTrustAlways,
                      QWidget *parent = nullptr);

    Choice choice() const { return m_choice; }
    const CertificateInfo &certificate() const { return m_certificate; }

    QLabel *Details;
    QPushButton *TrustSessionButton;
    QPushButton *TrustAlwaysButton;
    QPushButton *CancelButton;

private:
    void choose(Choice choice);

    CertificateInfo m_certificate;
    Choice m_choice = Cancelled;
};
