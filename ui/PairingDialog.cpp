#include "ui/PairingDialog.h"

#include "ui/QrCode.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// About 2 mm a module on a 1080p screen: a code of some 40 modules is then
// 8 cm wide, which a phone reads from 50 cm.
constexpr int kModulePixels = 8;
} // namespace

PairingDialog::PairingDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("PairingDialog"));
    setWindowTitle(QStringLiteral("Pair a phone"));
    auto *layout = new QVBoxLayout(this);
    auto *hint = new QLabel(QStringLiteral("Scan this code with the phone or tablet's camera, or open the address "
                                           "under it in its browser. It must be on the same network."),
                            this);
    hint->setWordWrap(true);
    label_qrCode = new QLabel(this);
    label_qrCode->setObjectName(QStringLiteral("label_qrCode"));
    label_qrCode->setAlignment(Qt::AlignCenter);
    label_pairingAddress = new QLabel(this);
    label_pairingAddress->setObjectName(QStringLiteral("label_pairingAddress"));
    label_pairingAddress->setAlignment(Qt::AlignCenter);
    label_pairingAddress->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pushButton_newCode = new QPushButton(QStringLiteral("New code"), this);
    pushButton_newCode->setObjectName(QStringLiteral("pushButton_newCode"));
    pushButton_newCode->setToolTip(QStringLiteral("Every paired device must scan the new code"));
    layout->addWidget(hint);
    layout->addWidget(label_qrCode);
    layout->addWidget(label_pairingAddress);
    layout->addWidget(pushButton_newCode, 0, Qt::AlignCenter);
    connect(pushButton_newCode, &QPushButton::clicked, this, &PairingDialog::sigNewCode);
}

void PairingDialog::setAddress(const QString &address)
{
    label_qrCode->setPixmap(QPixmap::fromImage(qrCodeImage(address.toUtf8(), kModulePixels)));
    label_pairingAddress->setText(address);
}
