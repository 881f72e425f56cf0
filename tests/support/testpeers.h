#pragma once
// Where the tests' own router serves its log page and their provider takes
// updates, and the router's password, for the tests that run whole checks
// through the window or the command.
#include <QString>

namespace parlowen::test {

inline const QString RouterLogPath = QStringLiteral("/doc/syslog.htm");
inline const QString UpdatePath = QStringLiteral("/dyn.asp");
// Characters with a meaning of their own in URLs and INI files, so that every
// encoded form differs from the typed one.
inline const QString RouterPassword = QStringLiteral("p@ss w:rd/#?%");

} // namespace parlowen::test
