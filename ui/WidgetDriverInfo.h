#pragma once
// The drivers window: every driver of the session with licence, rating and
// result data, ordered by race position, refilled from the main window's
// snapshot on each telemetry tick.

#include "ui/Ui_WidgetDriverInfo.h"

#include <QWidget>

class AppSettings;
class QCloseEvent;
class UserSizedColumns;
struct irDriver;
struct irResult;
struct irVariables;

class WidgetDriverInfo : public QWidget {
    Q_OBJECT

public:
    WidgetDriverInfo(AppSettings *settings, QWidget *parent = nullptr);

signals:
    void OnClose();

private slots:
    void OnTimerUpdate();
    void OnCheckBoxStayOnTopChanged();

public slots:
    // Refills the table. Writes into irVars: positions from the results and
    // the drivers sorted by them. irVars must outlive this window.
    void setDrivers(irVariables &irVars);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setDriverRow(int row, const irDriver &d, const irResult &r);
    void shadeRow(int row);
    void setStayOnTopHint(bool on);

    Ui_WidgetDriverInfo ui;
    irVariables *storedVars = nullptr; // not owned
    AppSettings *settings;             // not owned
    UserSizedColumns *columnWidths;    // a child of the table
};
