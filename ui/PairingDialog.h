#pragma once
// "Pair a phone": the dashboard's pairing address as a QR code a phone's
// camera reads from half a metre, the address as text under it, and "New
// code", which makes every paired browser pair again.

#include <QDialog>

class QLabel;
class QPushButton;

class PairingDialog : public QDialog {
    Q_OBJECT
public:
    explicit PairingDialog(QWidget *parent = nullptr);

    void setAddress(const QString &address);

    QLabel *label_qrCode;
    QLabel *label_pairingAddress;
    QPushButton *pushButton_newCode;

signals:
    void sigNewCode();
};
