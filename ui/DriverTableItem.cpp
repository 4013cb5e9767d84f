#include "ui/DriverTableItem.h"

DriverTableItem::DriverTableItem(const QString &text, const QVariant &sortKey)
    : QTableWidgetItem(text)
{
    if (sortKey.isValid())
        setData(kSortKeyRole, sortKey);
}

bool DriverTableItem::operator<(const QTableWidgetItem &other) const
{
    const QVariant mine = data(kSortKeyRole);
    const QVariant theirs = other.data(kSortKeyRole);
    if (mine.isValid() && theirs.isValid())
        return mine.toDouble() < theirs.toDouble();
    return QTableWidgetItem::operator<(other);
}
