#pragma once
// Two checks at once, the timer's and one from a terminal, would both find
// the same new address unrecorded and both send it: providers block clients
// that repeat updates. Whoever decides from the state record holds it until
// the record is written, and the other check waits, then reads it afresh.

#include "common/result.h"
#include "profile/atomicfile.h"
#include "settings/laststate.h"

#include <QString>

#include <chrono>

namespace parlowen {

// A save that is no check's decision (the window's, a gateway remembered)
// does not wait for a check that holds the record: that check holds it for
// as long as its update takes, which the window's thread may not wait out,
// and writes a record of its own as it ends.
inline constexpr std::chrono::milliseconds NoWait{0};

// The system's lock (flock) on the handle of the state file's folder,
// through which the record is saved. Not on the file itself: every save
// renames a new file over it, and a lock on the old one would hold nothing.
// Not on a file of its own: one more file to guard against links and to
// leave behind for ever, since it cannot be removed safely. It ends with
// this object or, when the program dies, with its descriptor.
class StateRecordLock {
public:
    // Makes the folder when it is missing, as the record's save would.
    // StateFileError::Busy when another holder keeps it for longer than
    // patience; another failure where the folder cannot be had, or its file
    // system has no locks.
    static Result<StateRecordLock, StateFileError> take(const QString& statePath,
                                                        std::chrono::milliseconds patience);

    StateRecordLock(StateRecordLock&&) noexcept = default;
    StateRecordLock& operator=(StateRecordLock&&) = delete;
    // The folder the record is saved through while the lock is held.
    const OpenFolder& folder() const { return m_folder; }

private:
    explicit StateRecordLock(OpenFolder folder) : m_folder(std::move(folder)) {}
    OpenFolder m_folder;
};

} // namespace parlowen
