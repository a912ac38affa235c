// The configuration dialog of the GTK build, shown by the driver as a host
// calls it and worked through its widgets: the sheet's scenarios, and what
// only this front end has (its layout, its keys, GTK's one thread). Needs a
// display: run under xvfb-run.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "GtkSheetDriver.h"
#include "LoadedDriverSheet.h"
#include "ZURSim.h"

namespace sheet_test {
namespace {

using namespace gtk_sheet_driver;

constexpr const char* kCamera = "XCG-V60E-100";  // standard, 640 x 480, opened on port 0
constexpr const char* kTitle = "Configure camera on port #1: XCG-V60E-100";

void PressEscape(GtkWidget* dialog) {
    PressKey(dialog, GDK_KEY_Escape);
}

int RegisterReads() {
    int count = 0;
    char text[256];
    for (int i = 0; i < ZURSimJournalCount(); ++i) {
        if (ZURSimJournalEntry(i, text, sizeof text, nullptr) != 0 &&
            std::string(text).rfind("ZURGigEGetRegister", 0) == 0) {
            ++count;
        }
    }
    return count;
}

GtkWidget* OkButton(GtkWidget* dialog) {
    return FindNamed(dialog, "1");
}

bool IsOkEnabled(GtkWidget* dialog) {
    return gtk_widget_is_sensitive(OkButton(dialog)) != FALSE;
}

void PressOk(GtkWidget* dialog) {
    gtk_button_clicked(GTK_BUTTON(OkButton(dialog)));
}

// The person at the window titled as the dialog: the warning box or the
// sheet.
class GtkPerson : public Person {
  public:
    explicit GtkPerson(GtkWidget* shown) : window(shown) {}

    std::string WarningText() override {
        gchar* text = nullptr;
        g_object_get(window, "text", &text, nullptr);
        std::string copy = text != nullptr ? text : "";
        g_free(text);
        return copy;
    }
    void AnswerWarning(bool proceed) override {
        gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(
            GTK_DIALOG(window), proceed ? GTK_RESPONSE_OK : GTK_RESPONSE_CANCEL)));
    }
    int PageCount() override { return gtk_sheet_driver::PageCount(window); }
    void ShowPage(int index) override { gtk_sheet_driver::ShowPage(window, index); }
    void Type(int controlId, const std::string& text) override {
        gtk_sheet_driver::Type(CurrentPage(window), controlId, text);
    }
    void Click(int controlId) override { gtk_sheet_driver::Click(CurrentPage(window), controlId); }
    std::string Text(int controlId) override {
        return gtk_sheet_driver::Text(CurrentPage(window), controlId);
    }
    bool IsEnabled(int controlId) override { return IsSensitive(CurrentPage(window), controlId); }
    std::string Status() override { return StatusText(window); }
    bool IsOkEnabled() override { return sheet_test::IsOkEnabled(window); }
    void PressOk() override { sheet_test::PressOk(window); }
    void PressCancel() override { gtk_button_clicked(GTK_BUTTON(FindNamed(window, "2"))); }
    std::optional<Focus> KeyboardFocus() override {
        GtkWidget* focused = gtk_window_get_focus(GTK_WINDOW(window));
        if (focused == nullptr) {
            return std::nullopt;
        }
        Focus focus{std::atoi(gtk_widget_get_name(focused)), false};
        gint start = 0;
        gint end = 0;
        if (GTK_IS_ENTRY(focused) &&
            gtk_editable_get_selection_bounds(GTK_EDITABLE(focused), &start, &end)) {
            focus.allSelected = start == 0 && end == gtk_entry_get_text_length(GTK_ENTRY(focused));
        }
        return focus;
    }

  private:
    GtkWidget* window;
};

class GtkSheet : public LoadedDriverSheet {
  public:
    static constexpr bool kHasKeyboard = true;

    void SetUp() override {
        ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "needs a display: run under xvfb-run -a";
        LoadedDriverSheet::SetUp();
    }

    // Each step in its own turn of the dialog's main loop.
    Outcome Configure(const std::string& camera, const std::string& title,
                      const std::vector<gtk_sheet_driver::Step>& steps) {
        const gtk_sheet_driver::Outcome outcome = WhileShown(
            title, steps, [&] { return exports.configureCamera(nullptr, camera.c_str()); });
        return {outcome.result, outcome.steps, outcome.leftOpen};
    }
    Outcome Configure(const char* camera, const std::string& title,
                      const std::vector<Step>& steps) {
        std::vector<gtk_sheet_driver::Step> turns;
        for (const Step& step : steps) {
            turns.emplace_back([step](GtkWidget* window) {
                GtkPerson person(window);
                step(person);
            });
        }
        return Configure(std::string(camera), title, turns);
    }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Gtk, SheetScenario, GtkSheet);

TEST_F(GtkSheet, ItsLayoutFollowsTheWindowsSheetAndEnterPressesOkOnlyWhileEnabled) {
    // Were the driver to let GTK take the environment's locale, a decimal
    // comma could reach the INI file.
    setenv("LC_ALL", "C.UTF-8", 1);
    Open(0, kCamera);
    const Outcome outcome =
        Configure(kCamera, kTitle,
                  {[](GtkWidget* dialog) {
                       EXPECT_EQ(PageCaption(dialog, 0), "Camera Settings");
                       EXPECT_EQ(PageCaption(dialog, 1), "I/O");
                       // OK above Cancel to the right of the pages, the status bar
                       // below them.
                       const GtkAllocation ok = Allocation(OkButton(dialog));
                       const GtkAllocation cancel = Allocation(FindNamed(dialog, "2"));
                       const GtkAllocation pages = Allocation(Notebook(dialog));
                       const GtkAllocation status = Allocation(FindNamed(dialog, "105"));
                       EXPECT_EQ(ok.x, cancel.x);
                       EXPECT_LE(ok.y + ok.height, cancel.y);
                       EXPECT_GE(ok.x, pages.x + pages.width);
                       EXPECT_LT(ok.y, pages.y + 20);
                       EXPECT_GE(status.y, pages.y + pages.height);

                       GtkWidget* page = CurrentPage(dialog);
                       const std::string labels = Labels(page);
                       for (const char* label : {"Image", "Trigger", "Width", "Exposure Time",
                                                 "Network Load", "Sensor Taps"}) {
                           EXPECT_NE(labels.find(label), std::string::npos) << label;
                       }
                       EXPECT_EQ(Text(page, 1079), "Software");
                       Type(page, kWidth, "700");
                       PressKey(Control(page, kWidth), GDK_KEY_Return);
                   },
                   [](GtkWidget* dialog) {
                       GtkWidget* page = CurrentPage(dialog);
                       Type(page, kWidth, "600");
                       PressKey(Control(page, kWidth), GDK_KEY_Return);
                   }});
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.steps, 2u);
    EXPECT_FALSE(outcome.leftOpen);
    EXPECT_EQ(IniValue(kCamera, "ImageWidth"), "600");
    EXPECT_EQ(IniValue(kCamera, "Gamma"), "0.7");
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

TEST_F(GtkSheet, EscapeAndClosingTheWindowCancelAndWriteNothing) {
    Open(0, kCamera);
    const gtk_sheet_driver::Step typeAWidth = [](GtkWidget* dialog) {
        Type(CurrentPage(dialog), kWidth, "320");
    };
    for (const gtk_sheet_driver::Step& close :
         {gtk_sheet_driver::Step(PressEscape), gtk_sheet_driver::Step(CloseWindow)}) {
        const Outcome outcome = Configure(kCamera, kTitle, {typeAWidth, close});
        EXPECT_EQ(outcome.result, 0);
        EXPECT_EQ(outcome.steps, 2u);
        EXPECT_FALSE(outcome.leftOpen);
        EXPECT_FALSE(IniExists());
    }
}

TEST_F(GtkSheet, EachFamilyShowsItsPagesAndDisablesWhatItLacks) {
    Open(0, "XCG-V60E-100");
    Open(1, "XCG-5005CR-200");
    Open(2, "XCG-H280E-300");
    const struct {
        const char* camera;
        std::vector<std::string> captions;
        std::vector<int> disabled;  // on the first page, range labels too
    } families[] = {
        {"XCG-V60E-100", {"Camera Settings", "I/O"}, {1104, 1103, 1046}},
        {"XCG-5005CR-200",
         {"Camera Settings", "I/O", "Color Camera Settings"},
         {1082, 1097, 1091, 1087, 1104, 1046}},
        {"XCG-H280E-300", {"Camera Settings", "I/O"}, {1101, 1102}},
    };
    int port = 1;
    for (const auto& family : families) {
        const std::string title =
            "Configure camera on port #" + std::to_string(port++) + ": " + family.camera;
        const Outcome outcome = Configure(
            family.camera, title, {[&](GtkWidget* dialog) {
                for (const int id : family.disabled) {
                    EXPECT_FALSE(IsSensitive(CurrentPage(dialog), id))
                        << family.camera << " " << id;
                }
                ASSERT_EQ(PageCount(dialog), static_cast<int>(family.captions.size()));
                for (int i = 0; i < PageCount(dialog); ++i) {
                    EXPECT_EQ(PageCaption(dialog, i), family.captions[static_cast<std::size_t>(i)]);
                    ShowPage(dialog, i);
                }
                PressEscape(dialog);
            }});
        EXPECT_EQ(outcome.steps, 1u) << family.camera;
    }
    EXPECT_EQ(ReceivedContaining("has no control"), 0);
}

// A host with a GTK main loop of its own: once the loop runs, it calls
// configureCamera from another thread, then from the loop's thread, and
// goes on ticking afterwards.
struct GtkHost {
    GtkSheet& test;
    GMainLoop* loop = nullptr;
    int fromOtherThread = -1;
    int registerReads = -1;
    Outcome onGtkThread{};
    int ticksAfter = 0;

    static gboolean Configure(gpointer data) {
        GtkHost& host = *static_cast<GtkHost*>(data);
        ZURSimJournalClear();
        std::thread([&host] {
            host.fromOtherThread = GtkSheet::exports.configureCamera(nullptr, kCamera);
        }).join();
        host.registerReads = RegisterReads();
        host.onGtkThread = host.test.Configure(kCamera, kTitle, {PressEscape});
        return G_SOURCE_REMOVE;
    }
    static gboolean Tick(gpointer data) {
        GtkHost& host = *static_cast<GtkHost*>(data);
        if (host.onGtkThread.result < 0 || ++host.ticksAfter < 3) {
            return G_SOURCE_CONTINUE;
        }
        g_main_loop_quit(host.loop);
        return G_SOURCE_REMOVE;
    }
    static gboolean GiveUp(gpointer data) {
        g_main_loop_quit(static_cast<GtkHost*>(data)->loop);
        return G_SOURCE_REMOVE;
    }
};

TEST_F(GtkSheet, RunsOnlyOnTheHostsGtkThreadAndLeavesItsLoopRunning) {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    Open(0, kCamera);
    GtkHost host{*this, g_main_loop_new(nullptr, FALSE)};
    g_idle_add(&GtkHost::Configure, &host);
    g_timeout_add(10, &GtkHost::Tick, &host);
    const guint watchdog = g_timeout_add_seconds(60, &GtkHost::GiveUp, &host);
    g_main_loop_run(host.loop);
    g_source_remove(watchdog);
    g_main_loop_unref(host.loop);

    EXPECT_EQ(host.fromOtherThread, 0);
    EXPECT_EQ(host.registerReads, 0);
    EXPECT_EQ(ReceivedContaining("GTK runs on another thread"), 1);
    EXPECT_EQ(host.onGtkThread.result, 0);
    EXPECT_EQ(host.onGtkThread.steps, 1u);
    EXPECT_GE(host.ticksAfter, 3);
}

// Set up by the driver, GTK serves the thread of the first call, and no
// other; a call without a display changes nothing for a later one with one.
TEST_F(GtkSheet, SetUpByTheDriverItServesTheFirstCallersThreadOnly) {
    if (gdk_display_get_default() != nullptr) {
        GTEST_SKIP() << "GTK is already set up in this process";
    }
    Open(0, kCamera);
    const std::string display = std::getenv("DISPLAY");
    unsetenv("DISPLAY");
    ZURSimJournalClear();
    EXPECT_EQ(driver->configureCamera(nullptr, kCamera), 0);
    setenv("DISPLAY", display.c_str(), 1);
    EXPECT_EQ(ReceivedContaining("GTK cannot open a display"), 1);
    EXPECT_EQ(RegisterReads(), 0);
    EXPECT_EQ(Configure(kCamera, kTitle, {PressEscape}).steps, 1u);

    ZURSimJournalClear();
    int fromOtherThread = -1;
    std::thread([&] { fromOtherThread = driver->configureCamera(nullptr, kCamera); }).join();
    EXPECT_EQ(fromOtherThread, 0);
    EXPECT_EQ(ReceivedContaining("GTK runs on another thread"), 1);
    EXPECT_EQ(RegisterReads(), 0);
    EXPECT_EQ(Configure(kCamera, kTitle, {PressEscape}).steps, 1u);
}

}  // namespace
}  // namespace sheet_test
