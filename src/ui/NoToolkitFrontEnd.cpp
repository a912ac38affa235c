// The front end of builds without a dialog toolkit: the sheet cannot be
// shown, which the log says, and the configuration ends as if cancelled.
#include "ui/SheetFrontEnd.h"
#include "ui/UnavailableFrontEnd.h"

std::unique_ptr<SheetFrontEnd> MakePlatformSheetFrontEnd() {
    return MakeUnavailableFrontEnd("no dialog toolkit available on this platform");
}
