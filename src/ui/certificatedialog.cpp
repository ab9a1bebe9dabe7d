#include "ui/certificatedialog.h"

#include "util/hosttext.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CertificateDialog::CertificateDialog(const CertificateInfo &certificate,
                                     const QString &problem,
                                     const QString &pinnedFingerprint,
                                     bool canTrustAlways,
                                     QWidget *parent)
    : QDialog(parent)
    , m_certificate(certificate)
{
    setObjectName(QStringLiteral("CertificateDialog"));
    setWindowTitle(tr("Orvane FTP - Host Certificate"));
    const QString when = QStringLiteral("yyyy-MM-dd HH:mm 'UTC'");
    QString text = pinnedFingerprint.isEmpty()
                           ? tr("The host's certificate cannot be verified: %1.\n\n")
                                     .arg(VisibleHostText(problem))
                           : tr("%1\n\n").arg(VisibleHostText(problem));
    text += tr("Subject: %1\nIssuer: %2\nValid from %3 to %4\nSHA-256 fingerprint:\n%5")
                    .arg(VisibleHostText(certificate.subject),
                         VisibleHostText(certificate.issuer),
                         certificate.notBefore.toString(when),
                         certificate.notAfter.toString(when),
                         CertificateInfo::spaced(certificate.fingerprint));
    if (!pinnedFingerprint.isEmpty())
        text += tr("\n\nThe site trusts the certificate with the fingerprint:\n%1")
                        .arg(CertificateInfo::spaced(pinnedFingerprint));
    Details = new QLabel(text, this);
    Details->setObjectName(QStringLiteral("Details"));
    Details->setTextFormat(Qt::PlainText);
    Details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Details->setWordWrap(true);

    TrustSessionButton = new QPushButton(tr("Trust for this &session"), this);
    TrustSessionButton->setObjectName(QStringLiteral("TrustSession"));
    TrustAlwaysButton = new QPushButton(tr("Trust &always"), this);
    TrustAlwaysButton->setObjectName(QStringLiteral("TrustAlways"));
    TrustAlwaysButton->setVisible(canTrustAlways);
    CancelButton = new QPushButton(tr("Cancel"), this);
    CancelButton->setObjectName(QStringLiteral("Cancel"));
    CancelButton->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(TrustSessionButton);
    buttons->addWidget(TrustAlwaysButton);
    buttons->addWidget(CancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Details);
    layout->addLayout(buttons);

    connect(TrustSessionButton, &QPushButton::clicked, this, [this] { choose(TrustForSession); });
    connect(TrustAlwaysButton, &QPushButton::clicked, this, [this] { choose(TrustAlways); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { choose(Cancelled); });
}

void CertificateDialog::choose(Choice choice)
{
    m_choice = choice;
    if (choice == Cancelled)
        reject();
    else
        accept();
}
