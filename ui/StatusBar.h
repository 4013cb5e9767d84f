#pragma once
// The main window's status bar: the simulator's state, the clients and the
// program's version, side by side.

#include <QStatusBar>

class QLabel;

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget *parent = nullptr);

    void setIracingText(const QString &text);
    void setClientText(const QString &text);
    void setVersionText(const QString &text);

    // "client not connected" at 0, else "%1 client(s) connected".
    static QString clientText(int count);

private:
    QLabel *labelIracing;
    QLabel *labelClient;
    QLabel *labelVersion;
};
