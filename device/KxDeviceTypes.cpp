#include "KxDeviceTypes.h"

#include "KxDeviceCommand.h"

#include <QMutex>

void kxRegisterDeviceTypes()
{
    static QBasicMutex mutex;
    static bool done = false;
    QMutexLocker lock(&mutex);
    if (done)
        return;
    qRegisterMetaType<KxDeviceCommandPtr>("KxDeviceCommandPtr");
    qRegisterMetaType<_struResultUserDatas>("_struResultUserDatas");
    qRegisterMetaType<_struProcessCallback>("_struProcessCallback");
    qRegisterMetaType<ChangedCmdInfo>("ChangedCmdInfo");
    qRegisterMetaType<QMap<QString, QByteArray>>("QMap<QString,QByteArray>");
    done = true;
}
