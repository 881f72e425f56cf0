#pragma once
// What the user can do when the settings could not be saved.

#include "profile/profilefile.h"

#include <QString>

namespace parlowen {

// Advice that fits the reason: a full disk needs room, not other rights.
QString saveAdvice(const ProfileWriteError& error);

} // namespace parlowen
