#pragma once

#include <QString>

// What a host offers beyond the basic commands, as its answer to FEAT lists it. Unknown features
// are ignored; a host that does not know FEAT offers nothing.
struct HostFeatures
{
    bool utf8 = false;
    bool mlst = false;
    bool epsv = false;
    bool size = false;
    bool mdtm = false;
    bool restStream = false;
    bool authTls = false;
    // Host-to-host copies between encrypted hosts: the host can take the client's side of TLS on
    // its data connections (SSCN ON), or has a PASV that does (CPSV).
    bool sscn = false;
    bool cpsv = false;
};

// Reads a whole FEAT reply, every line of it ("211-Features:\n MLST type*;size*;\n UTF8\n211 End").
// Features are the lines that start with a blank; names are read without regard to case.
HostFeatures ParseFeatReply(const QString &reply);
