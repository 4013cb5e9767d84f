#include "server/PrebuiltTexts.h"

#include <utility>

PrebuiltTexts::PrebuiltTexts(QVector<Builder> builders) : builders_(std::move(builders))
{
    rebuild(irVariables());
}

void PrebuiltTexts::rebuild(const irVariables &vars)
{
    QVector<QByteArray> fresh;
    fresh.reserve(builders_.size());
    for (const Builder &build : builders_)
        fresh.append(build(vars));
    {
        std::lock_guard<std::mutex> locker(lock_);
        std::swap(texts_, fresh);
    }
    // The old texts are released here, outside the lock.
}

QByteArray PrebuiltTexts::text(int index) const
{
    std::lock_guard<std::mutex> locker(lock_);
    return texts_.value(index);
}
