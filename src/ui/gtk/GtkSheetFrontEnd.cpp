// The GTK 3 front end: the sheet as a modal dialog with a notebook of its
// pages, OK above Cancel at the top right and a status bar at the foot; its
// pages as PageViews over their widgets and the dialog as a SheetView. The
// host's window is not used: a Win32 window handle means nothing to GTK.
#include <gtk/gtk.h>

#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/PropertyPage.h"
#include "ui/Sheet.h"
#include "ui/SheetFrontEnd.h"
#include "ui/gtk/GtkPageLayout.h"
#include "ui/gtk/GtkSheetFrontEnd.h"
#include "ui/gtk/GtkToolkit.h"

namespace {

// The ids of the Win32 sheet's buttons, as names for tests to find them by.
constexpr const char* kOkName = "1";
constexpr const char* kCancelName = "2";
constexpr int kSpacing = 6;

// A GLib string, freed with the object.
class OwnedText {
  public:
    explicit OwnedText(gchar* owned) : text(owned) {}
    ~OwnedText() { g_free(text); }
    OwnedText(const OwnedText&) = delete;
    OwnedText& operator=(const OwnedText&) = delete;
    const gchar* get() const { return text; }

  private:
    gchar* text;
};

class GtkPageView : public PageView {
  public:
    explicit GtkPageView(std::map<int, GtkWidget*> pageControls)
        : controls(std::move(pageControls)) {}

    void SetControlText(int controlId, const std::string& text) override {
        GtkWidget* widget = Find(controlId);
        if (GTK_IS_ENTRY(widget)) {
            gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
        } else if (GTK_IS_LABEL(widget)) {
            gtk_label_set_text(GTK_LABEL(widget), text.c_str());
        }
    }
    std::string GetControlText(int controlId) const override {
        GtkWidget* widget = Find(controlId);
        const gchar* text = nullptr;
        if (GTK_IS_ENTRY(widget)) {
            text = gtk_entry_get_text(GTK_ENTRY(widget));
        } else if (GTK_IS_LABEL(widget)) {
            text = gtk_label_get_text(GTK_LABEL(widget));
        }
        return text != nullptr ? text : "";
    }
    void SetCheck(int controlId, bool checked) override {
        GtkWidget* widget = Find(controlId);
        if (GTK_IS_TOGGLE_BUTTON(widget)) {
            // Not a click: a program's check raises no notification.
            settingCheck = true;
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(widget), checked ? TRUE : FALSE);
            settingCheck = false;
        }
    }
    bool GetCheck(int controlId) const override {
        GtkWidget* widget = Find(controlId);
        return GTK_IS_TOGGLE_BUTTON(widget) &&
               gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(widget)) != FALSE;
    }
    void FillComboBox(int controlId, const std::vector<std::string>& items) override {
        GtkWidget* widget = Find(controlId);
        if (!GTK_IS_COMBO_BOX_TEXT(widget)) {
            return;
        }
        gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(widget));
        for (const std::string& item : items) {
            gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(widget), item.c_str());
        }
    }
    void SelectComboItem(int controlId, int index) override {
        GtkWidget* widget = Find(controlId);
        if (GTK_IS_COMBO_BOX(widget)) {
            gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index);
        }
    }
    std::optional<std::string> GetComboSelection(int controlId) const override {
        GtkWidget* widget = Find(controlId);
        if (!GTK_IS_COMBO_BOX_TEXT(widget)) {
            return std::nullopt;
        }
        const OwnedText text(gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget)));
        if (text.get() == nullptr) {
            return std::nullopt;
        }
        return std::string(text.get());
    }
    void EnableControl(int controlId, bool enabled) override {
        if (GtkWidget* widget = Find(controlId)) {
            gtk_widget_set_sensitive(widget, enabled ? TRUE : FALSE);
        }
    }

    bool SettingCheck() const { return settingCheck; }
    const std::map<int, GtkWidget*>& Controls() const { return controls; }

  private:
    GtkWidget* Find(int controlId) const {
        const auto found = controls.find(controlId);
        return found != controls.end() ? found->second : nullptr;
    }

    std::map<int, GtkWidget*> controls;
    bool settingCheck = false;
};

struct SheetSession;

struct PageBinding {
    PropertyPage& page;
    SheetSession& session;
    GtkWidget* container;  // the notebook page, filled when first shown
    std::unique_ptr<GtkPageView> view;
    std::vector<GtkWidget*> fields;  // in tab order
};

// One control's signals: which page and which control.
struct ControlBinding {
    PageBinding& binding;
    int id;
};

class GtkSheetView : public SheetView {
  public:
    GtkSheetView(SheetSession& owner, GtkWidget* okButton, GtkWidget* statusBar)
        : session(owner),
          ok(okButton),
          status(statusBar),
          context(gtk_statusbar_get_context_id(GTK_STATUSBAR(statusBar), "validation")) {}

    void SetStatusText(const std::string& text) override {
        gtk_statusbar_remove_all(GTK_STATUSBAR(status), context);
        gtk_statusbar_push(GTK_STATUSBAR(status), context, text.c_str());
    }
    void EnableOK(bool enabled) override { gtk_widget_set_sensitive(ok, enabled ? TRUE : FALSE); }
    void QuerySiblings() override;

  private:
    SheetSession& session;
    GtkWidget* ok;
    GtkWidget* status;
    guint context;
};

// Everything one modal run of the sheet holds.
struct SheetSession {
    explicit SheetSession(CSheet1& owner) : sheet(owner) {}

    CSheet1& sheet;
    GtkWidget* dialog = nullptr;
    std::vector<std::unique_ptr<PageBinding>> pages;
    std::vector<std::unique_ptr<ControlBinding>> controls;
    std::unique_ptr<GtkSheetView> view;
    // The first exception thrown in a signal handler: none may unwind
    // through GTK's frames, so the dialog is cancelled and the exception
    // raised again once it has closed.
    std::exception_ptr failure;
};

void GtkSheetView::QuerySiblings() {
    for (const auto& binding : session.pages) {
        if (binding->page.HasWindow()) {
            binding->page.OnQuerySiblings();
        }
    }
}

template <typename Work>
void Guarded(SheetSession& session, Work&& work) {
    try {
        work();
    } catch (...) {
        if (!session.failure) {
            session.failure = std::current_exception();
        }
        gtk_dialog_response(GTK_DIALOG(session.dialog), GTK_RESPONSE_CANCEL);
    }
}

void OnEditChanged(GtkEditable* /*edit*/, gpointer data) {
    const auto& control = *static_cast<ControlBinding*>(data);
    Guarded(control.binding.session, [&] { control.binding.page.OnEditChange(control.id); });
}

void OnCheckToggled(GtkToggleButton* /*checkBox*/, gpointer data) {
    const auto& control = *static_cast<ControlBinding*>(data);
    if (control.binding.view && control.binding.view->SettingCheck()) {
        return;
    }
    Guarded(control.binding.session, [&] { control.binding.page.OnCheckBoxClicked(control.id); });
}

void ConnectControls(PageBinding& binding) {
    for (const auto& [id, widget] : binding.view->Controls()) {
        const char* signal = GTK_IS_ENTRY(widget)           ? "changed"
                             : GTK_IS_TOGGLE_BUTTON(widget) ? "toggled"
                                                            : nullptr;
        if (signal == nullptr) {
            continue;
        }
        binding.session.controls.push_back(
            std::make_unique<ControlBinding>(ControlBinding{binding, id}));
        ControlBinding* control = binding.session.controls.back().get();
        if (GTK_IS_ENTRY(widget)) {
            g_signal_connect(widget, signal, G_CALLBACK(OnEditChanged), control);
        } else {
            g_signal_connect(widget, signal, G_CALLBACK(OnCheckToggled), control);
        }
    }
}

// A page's widgets are made when it is first shown, as a property sheet
// makes its pages' windows: a page never shown keeps its values and its
// validity flag as they were.
void ShowPage(SheetSession& session, std::size_t index) {
    if (index >= session.pages.size()) {
        return;
    }
    PageBinding& binding = *session.pages[index];
    if (binding.view) {
        return;
    }
    PageControls controls = BuildPageControls(binding.page, binding.container);
    binding.view = std::make_unique<GtkPageView>(std::move(controls.byId));
    binding.fields = std::move(controls.fields);
    ConnectControls(binding);
    binding.page.Attach(binding.view.get());
    binding.page.OnInitDialog();
    gtk_widget_show_all(binding.container);
}

void OnSwitchPage(GtkNotebook* /*notebook*/, GtkWidget* /*page*/, guint index, gpointer data) {
    auto& session = *static_cast<SheetSession*>(data);
    Guarded(session, [&] { ShowPage(session, index); });
}

void OnOkClicked(GtkButton* /*button*/, gpointer dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
}

void OnCancelClicked(GtkButton* /*button*/, gpointer dialog) {
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
}

// OK on the sheet: each page whose widgets exist, in order, takes it; false
// while one refuses (a page is invalid), and the dialog stays open.
bool Apply(SheetSession& session) {
    bool applied = true;
    for (const auto& binding : session.pages) {
        if (binding->page.HasWindow()) {
            Guarded(session, [&] { applied = binding->page.OnApply(); });
            if (!applied || session.failure) {
                return false;
            }
        }
    }
    return true;
}

GtkWidget* AddButton(GtkWidget* column, GtkWidget* dialog, const char* text, const char* name,
                     GCallback clicked) {
    GtkWidget* button = gtk_button_new_with_mnemonic(text);
    gtk_widget_set_name(button, name);
    g_signal_connect(button, "clicked", clicked, dialog);
    gtk_box_pack_start(GTK_BOX(column), button, FALSE, FALSE, 0);
    return button;
}

// As the Windows sheet opens: the first field of the first page that can
// take the keyboard has it, its text selected, so that what the user types
// replaces it. Set before the dialog is shown, which keeps it.
void FocusFirstField(SheetSession& session) {
    if (session.pages.empty()) {
        return;
    }
    for (GtkWidget* field : session.pages.front()->fields) {
        if (gtk_widget_get_can_focus(field) && gtk_widget_is_sensitive(field)) {
            gtk_widget_grab_focus(field);
            if (GTK_IS_ENTRY(field)) {
                gtk_editable_select_region(GTK_EDITABLE(field), 0, -1);
            }
            return;
        }
    }
}

struct DialogParts {
    GtkWidget* notebook;
    GtkWidget* ok;
    GtkWidget* statusBar;
};

// The dialog's widgets: the notebook with one empty page per sheet page,
// OK above Cancel to its right, the status bar across the foot.
DialogParts BuildDialog(SheetSession& session) {
    GtkWidget* dialog = session.dialog;
    gtk_window_set_title(GTK_WINDOW(dialog), session.sheet.Title().c_str());
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);

    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, kSpacing * 2);
    gtk_container_set_border_width(GTK_CONTAINER(row), kSpacing);
    GtkWidget* notebook = gtk_notebook_new();
    for (std::size_t i = 0; i < session.sheet.PageCount(); ++i) {
        PropertyPage& page = session.sheet.Page(i);
        GtkWidget* container = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_notebook_append_page(GTK_NOTEBOOK(notebook), container, gtk_label_new(page.Caption()));
        session.pages.push_back(
            std::make_unique<PageBinding>(PageBinding{page, session, container, nullptr, {}}));
    }
    gtk_box_pack_start(GTK_BOX(row), notebook, TRUE, TRUE, 0);

    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_VERTICAL, kSpacing);
    GtkWidget* ok = AddButton(buttons, dialog, "_OK", kOkName, G_CALLBACK(OnOkClicked));
    AddButton(buttons, dialog, "_Cancel", kCancelName, G_CALLBACK(OnCancelClicked));
    gtk_box_pack_start(GTK_BOX(row), buttons, FALSE, FALSE, 0);

    GtkWidget* statusBar = gtk_statusbar_new();
    gtk_widget_set_name(statusBar, std::to_string(CSheet1::kStatusBarId).c_str());

    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_box_pack_start(GTK_BOX(content), row, TRUE, TRUE, 0);
    gtk_box_pack_end(GTK_BOX(content), statusBar, FALSE, FALSE, 0);
    // Enter in an edit presses OK, while it is enabled.
    gtk_widget_set_can_default(ok, TRUE);
    gtk_widget_grab_default(ok);
    return {notebook, ok, statusBar};
}

class GtkSheetFrontEnd : public SheetFrontEnd {
  public:
    bool CanShowDialog() override { return gtk_toolkit::ReadyOnThisThread(); }

    // Escape and closing the box mean Cancel.
    bool ConfirmContinue(void* /*parentWindow*/, const std::string& text,
                         const std::string& caption) override {
        GtkWidget* box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                                GTK_BUTTONS_OK_CANCEL, "%s", text.c_str());
        gtk_window_set_title(GTK_WINDOW(box), caption.c_str());
        const gint response = gtk_dialog_run(GTK_DIALOG(box));
        gtk_widget_destroy(box);
        return response == GTK_RESPONSE_OK;
    }

    // Modal in a nested main loop (gtk_dialog_run) for the time of the call.
    // Escape and closing the window end it as Cancel does.
    bool RunModal(CSheet1& sheet) override {
        SheetSession session(sheet);
        // Held until the end, so that the dialog outlives a destruction by
        // someone else while it runs.
        session.dialog = GTK_WIDGET(g_object_ref(gtk_dialog_new()));
        const DialogParts parts = BuildDialog(session);

        // As a property sheet starts: the first page, then the sheet's own
        // initialisation.
        Guarded(session, [&] {
            ShowPage(session, 0);
            session.view = std::make_unique<GtkSheetView>(session, parts.ok, parts.statusBar);
            sheet.Attach(session.view.get());
            sheet.OnInitDialog();
        });
        g_signal_connect(parts.notebook, "switch-page", G_CALLBACK(OnSwitchPage), &session);
        gtk_widget_show_all(gtk_dialog_get_content_area(GTK_DIALOG(session.dialog)));
        FocusFirstField(session);

        while (!session.failure) {
            if (gtk_dialog_run(GTK_DIALOG(session.dialog)) != GTK_RESPONSE_OK || Apply(session)) {
                break;
            }
        }

        // Taking the notebook down switches pages: no page is to be made
        // then.
        g_signal_handlers_disconnect_by_data(parts.notebook, &session);
        sheet.Attach(nullptr);
        for (const auto& binding : session.pages) {
            binding->page.Attach(nullptr);
        }
        gtk_widget_destroy(session.dialog);
        g_object_unref(session.dialog);
        if (session.failure) {
            std::rethrow_exception(session.failure);
        }
        return sheet.Accepted();
    }
};

}  // namespace

std::unique_ptr<SheetFrontEnd> MakeGtkSheetFrontEnd() {
    return std::make_unique<GtkSheetFrontEnd>();
}
