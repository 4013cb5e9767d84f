#pragma once
// A table cell that sorts by a number kept beside its text, so that numeric
// columns do not sort as text ("10" before "9") and "-" can sort last.

#include <QTableWidgetItem>
#include <QVariant>

class DriverTableItem : public QTableWidgetItem {
public:
    // The role that holds the sort number.
    static constexpr int kSortKeyRole = Qt::UserRole + 1;

    // An invalid sortKey leaves the cell sorting by its text.
    DriverTableItem(const QString &text, const QVariant &sortKey);

    bool operator<(const QTableWidgetItem &other) const override;
};
