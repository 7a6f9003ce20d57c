#include "VrFaults.h"

QByteArray vrCorrupt(QByteArray reply)
{
    if (reply.size() > 8) {
        const int at = 6 + (reply.size() - 9) / 2;  // inside the payload or its checksum
        reply[at] = char(reply[at] ^ 0x5A);
    }
    return reply;
}
