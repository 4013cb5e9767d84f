#include "app/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

void Dialogs::critical(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::critical(parent, title, text, QMessageBox::Ok);
}

void Dialogs::warning(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

QUrl Dialogs::openFileUrl(QWidget *parent, const QString &caption, const QUrl &start,
                          const QString &filter)
{
    return QFileDialog::getOpenFileUrl(parent, caption, start, filter);
}
