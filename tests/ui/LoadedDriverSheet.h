#pragma once

// What the tests of both real sheets share: the driver loaded as a host loads
// it (a DriverSheet whose exports are the library's), once for all the suites
// of the program.
#include <memory>

#include "DriverLibrary.h"
#include "SheetScenarios.h"

namespace sheet_test {

class LoadedDriverSheet : public DriverSheet {
  public:
    static void SetUpTestSuite() {
        if (!driver) {
            driver = std::make_unique<DriverLibrary>(DriverLibrary::DefaultPath());
        }
        exports = {driver->initialize,     driver->finalize,     driver->setDebugMsgProc,
                   driver->openCVLPort,    driver->closeCVLPort, driver->setProperty,
                   driver->configureCamera};
    }

    static inline std::unique_ptr<DriverLibrary> driver;
};

}  // namespace sheet_test
