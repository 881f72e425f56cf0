#pragma once
// What a named character reference after an "&" stands for.

#include <QStringView>

#include <optional>
#include <utility>

namespace parlowen {

// The length of the name that rest begins with, its ";" included, and the
// character it stands for; nothing when rest begins no name this program
// knows. Names are matched in their own letter case, as browsers match them:
// "&Uuml;" and "&uuml;" are two letters.
std::optional<std::pair<qsizetype, char32_t>> namedReferenceAt(QStringView rest);

} // namespace parlowen
