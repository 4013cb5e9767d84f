#pragma once
// The main window's modal dialogs, behind a seam so tests can answer them
// instead of a user.

#include <QString>
#include <QUrl>

class QWidget;

class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual void critical(QWidget *parent, const QString &title, const QString &text);
    virtual void warning(QWidget *parent, const QString &title, const QString &text);
    // The chosen file's URL; an empty URL when the user cancelled.
    virtual QUrl openFileUrl(QWidget *parent, const QString &caption, const QUrl &start,
                             const QString &filter);
};
