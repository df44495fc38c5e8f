#include "pools/RaidListArray.h"

#include <QMutex>

namespace {
QMutex mutex;
RaidListPtr list = std::make_shared<const RaidList>();
}  // namespace

RaidListPtr RaidListArray::current()
{
    QMutexLocker lock(&mutex);
    return list;
}

void RaidListArray::replace(RaidListPtr next)
{
    if (!next)
        next = std::make_shared<const RaidList>();
    QMutexLocker lock(&mutex);
    list = std::move(next);
}
