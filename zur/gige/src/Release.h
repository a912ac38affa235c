#pragma once

// Releases what is left of a lost camera on a thread of its own: Aravis
// says goodbye to a camera (stream channel closed, control given back) even
// when it no longer answers, and each unanswered command takes seconds.

#include <arv.h>

#include <memory>

#include "GObjectPtr.h"
#include "Stream.h"

namespace zurgige {

struct Remains {
    GObjectPtr<ArvStream> stream;           // released first
    GObjectPtr<ArvDevice> device;           // may be null
    std::shared_ptr<const LossState> loss;  // outlives the device's threads
};

// Queues the remains; one thread releases them in order.
void ReleaseInBackground(Remains remains);

}  // namespace zurgige
