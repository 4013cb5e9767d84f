#pragma once
// Reply texts built once from a snapshot, when it changes, and read by any
// number of threads. The builders run outside the lock; a reader only takes a
// shared copy of the finished bytes, so a request costs no rebuilding and
// never waits for one.

#include "model/irVariables.h"

#include <QByteArray>
#include <QVector>

#include <functional>
#include <mutex>

class PrebuiltTexts {
public:
    using Builder = std::function<QByteArray(const irVariables &)>;

    // One text for each builder, in this order; all are built at once from
    // the start record.
    explicit PrebuiltTexts(QVector<Builder> builders);

    // Builds every text from `vars` and puts them in place together.
    void rebuild(const irVariables &vars);
    // Text `index` as last built (shared, not copied).
    QByteArray text(int index) const;

private:
    const QVector<Builder> builders_;
    mutable std::mutex lock_; // guards texts_
    QVector<QByteArray> texts_;
};
