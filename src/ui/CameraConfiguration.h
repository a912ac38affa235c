#pragma once

#include <memory>
#include "camera/Camera.h"

#include "log/ExportFrame.h"

// Shows the configuration sheet over a copy of the camera's parameter set;
// true when the user accepted it, which saved the copy to the INI file and
// made it the camera's set. A closed camera's copy starts from its family's
// definition and the INI file, an open one's from its registers.
//
// The sheet and its warning run the host's windows: the export's frame is
// left and the camera's lock let go meanwhile, and the host may close the
// camera, finalize the driver or ask for this sheet again. So after each of
// those stretches of host code the camera is locked again, and may have been
// retired. A camera's sheet is shown once at a time.
bool ConfigureCamera(const std::shared_ptr<Camera>& camera, void* parentWindow)
    REQUIRES(exportFrame);
