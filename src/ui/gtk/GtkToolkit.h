#pragma once

// GTK 3 serves one thread of the process: the one on which the driver first
// set it up, or, when the host had already set it up, the host's. GTK itself
// does not check this; these functions do, before the driver touches it.
namespace gtk_toolkit {

// True when GTK is set up and the calling thread may show a dialog now:
// GTK runs on no other thread of the driver's calls, no other thread runs
// the default main loop, and a display is open. The first successful call
// on a thread sets GTK up there unless the host has done so. When false, the
// reason is logged at level 1.
bool ReadyOnThisThread();

}  // namespace gtk_toolkit
