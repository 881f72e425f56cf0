#pragma once
// The one entry of the parlowen-notice module, which holds everything of Qt
// D-Bus that parlowen-check uses. The module is loaded only when a notice is
// to be shown: linked into the program, Qt D-Bus and the libraries under it
// would add about 2,000 symbol look-ups, some 0.7 ms, to the start of every
// run, more than a small page takes to read.

#include <QString>

#define PARLOWEN_NOTICE_ENTRY "parlowen_show_desktop_notice"

// Sends a desktop notice on a connection of its own, closed again before it
// returns, waiting at most timeoutMs for the answer while running the event
// loop. Returns a NoticeDelivery as an int.
extern "C" {
using ShowDesktopNoticeEntry = int (*)(const QString& busAddress, const QString& summary, const QString& body,
                                       int timeoutMs);
}
