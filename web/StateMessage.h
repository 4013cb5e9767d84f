#pragma once
// The dashboard's state message: one JSON object with everything the page
// shows, built from the server's snapshot whenever it changes. Values are
// ready to show (units applied, "-" for what is not known), so the page only
// places text.

#include "model/DashboardKeys.h"
#include "model/irVariables.h"

#include <QByteArray>
#include <QString>
#include <QVector>

struct ChatMacro {
    int number = 0; // 1 to 15, as command 206 takes it
    QString text;
};

// The compact JSON text of the state message; see the README for its keys.
// The snapshot is taken by value: the standings join sorts its own copy.
QByteArray dashboardStateMessage(irVariables vars, const QVector<ChatMacro> &macros,
                                 const QVector<DashboardKey> &keys);

// The non-empty macros of the 15 that command 205 reads.
QVector<ChatMacro> chatMacroButtons(const QStringList &texts);
