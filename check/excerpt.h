#pragma once
// Text from outside as a line of ours quotes it: short, and with what
// cannot be seen made visible.

#include <QString>

namespace parlowen {

// A text as it stands, quoted, with control characters made visible, so a
// stray space or line break in what the router wrote can be seen.
QString quoted(const QString& text);

// The first line of a provider's answer that says something, quoted and
// short enough for a log line: "good 203.0.113.7", "badauth", "nochg".
QString answerExcerpt(const QString& text);

} // namespace parlowen
