#include "IKxSpecialReader.h"

#include <QObject>

IKxSpecialReader *IKxSpecialReader::find(const QObject *obj)
{
    for (const QObject *o = obj ? obj->parent() : nullptr; o; o = o->parent()) {
        if (auto *r = dynamic_cast<const IKxSpecialReader *>(o))
            return const_cast<IKxSpecialReader *>(r);
    }
    return nullptr;
}
