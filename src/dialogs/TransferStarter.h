#pragma once

#include "dialogs/TransferRequest.h"

class ConnectionManager;
class QWidget;

// Turns a copy request into work once its destination is known, as the button pressed asks:
// kind 0 is the first button ("&This Connection", "&Background Transfer", "&OK"), kind 1 the
// second ("&New Connection", "&Foreground Transfer"; nothing between local folders).
//
// - The destination is normalised and becomes the newest of its host's history.
// - Local disk to local disk: the request's copyLocally gets the names.
// - Selected host folders are walked first (a window shows the walk and can cancel it); their
//   files join the selection and the copy goes on.
// - Host to local disk: a stack of downloads in a transfer window; a local file that exists
//   already is asked about (replace, continue an interrupted download, skip). Walked folders are
//   made locally, empty ones too.
// - Local disk to host: selected local folders are listed whole; a stack of uploads in a transfer
//   window; folders without files are made on the host afterwards.
// - Host to host: a copy window; folders without files are made on the destination afterwards.
class TransferStarter
{
public:
    static void start(QWidget *parent, ConnectionManager &pool, const TransferRequest &request, int kind);
};
