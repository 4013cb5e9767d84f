#include "ui/UserSizedColumns.h"

#include <QEvent>
#include <QHeaderView>
#include <QTableWidget>

UserSizedColumns::UserSizedColumns(QTableWidget *table)
    : QObject(table), table(table), header(table->horizontalHeader()),
      headerViewport(header->viewport())
{
    // The header takes its mouse input on its viewport.
    headerViewport->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int logicalIndex, int, int) { onSectionResized(logicalIndex); });
}

bool UserSizedColumns::eventFilter(QObject *watched, QEvent *event)
{
    // Compared by address only: the filter also sees the viewport's events
    // while the header around it is being destroyed.
    if (watched == headerViewport) {
        if (event->type() == QEvent::MouseButtonPress)
            buttonDown = true;
        else if (event->type() == QEvent::MouseButtonRelease)
            buttonDown = false;
    }
    return QObject::eventFilter(watched, event);
}

void UserSizedColumns::onSectionResized(int logicalIndex)
{
    // Only a divider drag resizes a section while a button is held on the
    // header. The stretched last column follows the others and is no choice
    // of the user's.
    const bool stretched = header->stretchLastSection() && logicalIndex == header->count() - 1;
    if (buttonDown && !fitting && !stretched)
        dragged.insert(logicalIndex);
}

void UserSizedColumns::fitOthersToContents()
{
    fitting = true;
    for (int column = 0; column < table->columnCount(); ++column) {
        if (!dragged.contains(column))
            table->resizeColumnToContents(column);
    }
    fitting = false;
}

void UserSizedColumns::forget()
{
    dragged.clear();
    buttonDown = false;
}
