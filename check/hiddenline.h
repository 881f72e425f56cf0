#pragma once
// The router's "WAN IP is " line where a style rule Parlowen could not
// read might hide it: its address is never trusted, and the words that say
// so, one copy for the window and the command.

#include "check/loadedpage.h"
#include "check/sendableaddress.h"
#include "check/wanaddress.h"

#include <QString>

namespace parlowen {

// Whether the first "WAN IP is " line, from its marker to the line break
// that ends it, lies where such a rule might hide it, or end it elsewhere.
bool wanLineMayBeHidden(const LoadedPage& page);
bool wanLineMayBeHidden(const LoadedPage& page, const WanLine& line);

// The reason, as a clause to follow "No WAN IP was found: ". What to do
// is the router's services' to say, once they were asked.
QString hiddenLineReason();
// The reason when the check was told not to ask them, and what to change.
QString hiddenLineReasonWithoutServices();

// The step that asks the router's own services in the line's place.
QString hiddenLineUpnpStep(const QString& router);

// The line of the final box when one of those services gave the address.
QString hiddenLineSourceNote(AddressSource source);

} // namespace parlowen
