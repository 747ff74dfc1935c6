#include "platform/SocketClose.h"

#include <QAbstractSocket>
#include <sys/socket.h>

void abortiveClose(QAbstractSocket *socket)
{
    if (!socket)
        return;
    const qintptr fd = socket->socketDescriptor();
    if (fd >= 0) {
        linger off{1, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &off, sizeof off);
    }
    socket->abort();
}
