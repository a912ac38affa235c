// A ZUR library that lacks ZURBandAdjust: every other function of the 24
// is there and fails. A driver bound to it must find no camera.
#define ZUR_BUILDING_LIBRARY
#include "platform/ZurLibrary.h"

#define ZURBandAdjust ZURBandAdjustLeftOut
#define ZAVADED_SHORT_ZUR_STUB(result, name, arguments) \
    extern "C" ZUR_API result name arguments {          \
        return result{};                                \
    }
ZAVADED_ZUR_FUNCTIONS(ZAVADED_SHORT_ZUR_STUB)
