#pragma once

#include "camera/Camera.h"
#include "log/ExportLock.h"

// Shows the configuration sheet over a copy of the camera's parameter set;
// true when the user accepted it, which saved the copy to the INI file and
// made it the camera's set. A closed camera's copy starts from its family's
// definition and the INI file, an open one's from its registers.
//
// The sheet and its warning run the host's windows: the export lock is let
// go meanwhile, and the host may close the camera, finalize the driver or ask
// for this sheet again. So camera is used only until the first of those
// stretches of host code; after each, the camera is looked up again by its
// serial, and may be gone. A camera's sheet is shown once at a time.
bool ConfigureCamera(Camera& camera, void* parentWindow) REQUIRES(exportLock);
