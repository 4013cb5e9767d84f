#pragma once
// Remembers which columns of a table the user has widened or narrowed by
// dragging a header divider, so that a refill sizes only the others to their
// contents.

#include <QObject>
#include <QSet>

class QHeaderView;
class QTableWidget;

class UserSizedColumns : public QObject {
    Q_OBJECT
public:
    // Watches the table's horizontal header; a child of the table.
    explicit UserSizedColumns(QTableWidget *table);

    // Sizes every column the user has not dragged to its contents.
    void fitOthersToContents();
    // Every column is sized to its contents again from now on.
    void forget();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onSectionResized(int logicalIndex);

    QTableWidget *table;
    QHeaderView *header;
    QObject *headerViewport;
    QSet<int> dragged;
    bool buttonDown = false; // a mouse button is held on the header
    bool fitting = false;    // our own resizes are under way
};
