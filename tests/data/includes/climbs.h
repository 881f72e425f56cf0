// A header that reaches past its folder's include root.
#include "../settings/settingkeys.h"
