#pragma once

class QAbstractSocket;

// Drops a TCP connection at once: linger on with a zero timeout, then close, so the peer sees a
// reset and nothing queued is sent. Used to abandon a running transfer (no ABOR is ever sent).
void abortiveClose(QAbstractSocket *socket);
