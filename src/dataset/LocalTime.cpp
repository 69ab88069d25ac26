#include "LocalTime.h"

#include <QByteArray>
#include <QtGlobal>

void ReadLocalZoneOnce() {
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", QByteArrayLiteral(":/etc/localtime"));
}
