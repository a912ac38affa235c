// The loader of the GTK dialog module: what configureCamera logs when the
// module is missing or is not the dialog. The module itself is worked by
// ui_gtk_tests, through the driver.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "LogCapture.h"
#include "TempDir.h"
#include "ui/SheetModule.h"

namespace {

struct ModuleCase {
    const char* what;
    std::string path;
    std::string logged;  // the start of the one message each call logs
};

TEST(SheetModule, AModuleThatCannotBeUsedIsLoggedAndShowsNothing) {
    testing_support::TempDir folder;
    const std::string text = folder.File("libZavaDED-gtk.so");
    std::ofstream(text) << "not a library\n";
    const ModuleCase cases[] = {
        {"missing", folder.File("none/libZavaDED-gtk.so"),
         "Camera::Configure: ERROR: the configuration dialog is not installed (" +
             folder.File("none/libZavaDED-gtk.so") + ")\n"},
        {"not a library", text, "Camera::Configure: ERROR: cannot load the configuration dialog: "},
        {"a library without the entry", ZAVADED_NOT_A_DIALOG,
         std::string("Camera::Configure: ERROR: the configuration dialog ") + ZAVADED_NOT_A_DIALOG +
             " has no ZavaDEDMakeGtkSheetFrontEnd\n"},
    };
    for (const ModuleCase& test : cases) {
        testing_support::LogCapture capture(1);
        const std::unique_ptr<SheetFrontEnd> frontEnd = sheet_module::LoadFrontEnd(test.path);
        ASSERT_TRUE(frontEnd) << test.what;
        EXPECT_FALSE(frontEnd->CanShowDialog()) << test.what;
        EXPECT_FALSE(frontEnd->ConfirmContinue(nullptr, "text", "caption")) << test.what;
        const std::vector<std::string> messages = capture.Messages();
        ASSERT_EQ(messages.size(), 2u) << test.what;
        for (const std::string& message : messages) {
            EXPECT_EQ(message.rfind(test.logged, 0), 0u) << test.what << ": " << message;
        }
    }
}

}  // namespace
