#pragma once

#include <functional>
#include <memory>
#include <string>

#include "log/ExportFrame.h"

class CSheet1;

// The dialog toolkit that shows the sheet: the Win32 property sheet in the
// Windows builds, GTK 3 or none in the Linux builds. ConfigureCamera asks for
// the build's front end with MakeSheetFrontEnd. The dialogs run the host's
// windows, so they are shown without the export lock.
class SheetFrontEnd {
  public:
    virtual ~SheetFrontEnd() = default;

    // Whether a dialog can be shown on the calling thread now; when not, the
    // reason is logged at level 1. ConfigureCamera asks before it touches
    // the camera. Cheap, but the first call may set the toolkit up.
    virtual bool CanShowDialog() = 0;

    // The warning shown while a grab is pending: text with OK and Cancel and
    // the exclamation icon, over the parent window. True when the user chose
    // OK.
    virtual bool ConfirmContinue(void* parentWindow, const std::string& text,
                                 const std::string& caption) EXCLUDES(exportFrame) = 0;
    // Shows the sheet with its pages modally over its parent window; true
    // when the user closed it with OK, after every shown page has taken its
    // OK handling (PropertyPage::OnApply).
    virtual bool RunModal(CSheet1& sheet) EXCLUDES(exportFrame) = 0;
};

// The front end of this build, or what the factory below makes.
std::unique_ptr<SheetFrontEnd> MakeSheetFrontEnd();
// The front end of this build's platform, which the build chooses.
std::unique_ptr<SheetFrontEnd> MakePlatformSheetFrontEnd();

// Makes MakeSheetFrontEnd return what factory makes, until it is called with
// an empty factory. For tests that drive the sheet without a window system.
void SetSheetFrontEndFactory(std::function<std::unique_ptr<SheetFrontEnd>()> factory);
