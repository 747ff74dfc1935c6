#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <optional>

// The port of a passive-mode reply. The address a host names is never used: a hostile or
// misconfigured host must not send the client elsewhere, and hosts behind NAT name private
// addresses; the data connection goes to the control connection's peer.

// "227 Entering Passive Mode (192,168,1,2,19,137)." gives 19 * 256 + 137. The six numbers may
// stand anywhere after the code, with or without the parentheses. nullopt unless there are six
// numbers from 0 to 255 and the port is not 0.
std::optional<quint16> PasvReplyPort(QByteArrayView reply);

// "229 Entering Extended Passive Mode (|||6446|)" gives 6446: inside the parentheses, three
// delimiters (any one printable character other than a digit), the port, the delimiter again.
std::optional<quint16> EpsvReplyPort(QByteArrayView reply);
