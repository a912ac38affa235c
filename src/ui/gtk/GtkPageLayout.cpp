#include "ui/gtk/GtkPageLayout.h"

#include <algorithm>
#include <span>
#include <string>

#include "ui/PropertyPage.h"
#include "ui/SheetPages.h"
#include "ui/gtk/GtkLog.h"

namespace {

// One row of a group: a label, the control and, if the control has one, its
// range label. A check box with its own text can stand in the label's place.
struct LayoutRow {
    const char* label;
    int controlId;       // 0: the row holds only the check box
    int checkBoxId = 0;  // a check box titled label, in the label's place
};

// A group box of the template, at a cell of the page's grid.
struct LayoutGroup {
    const char* title;  // nullptr: no box; "": a box without a title
    int column;
    int row;
    std::span<const LayoutRow> rows;
};

struct PageLayout {
    int templateId;
    std::span<const LayoutGroup> groups;
};

// clang-format off

// "Camera Settings"
const LayoutRow kImageRows[] = {
    {"Width", 1086}, {"Height", 1090}, {"OffsetX", 1088}, {"OffsetY", 1089},
    {"Vert Binning", 1091}, {"Horz Binning", 1104},
};
const LayoutRow kTriggerRows[] = {
    {"Mode", 1045}, {"Source", 1079}, {"Inhibit", 1080}, {"Activation", 1081}, {"Delay", 1017},
};
const LayoutRow kLevelRows[] = {
    {"Gain", 1082}, {"Black Level", 1094}, {"Gamma", 1101}, {"Log Level", 1015},
};
const LayoutRow kTimingRows[] = {
    {"Frame Rate", 1095}, {"Exposure Time", 1093}, {"Network Load", 1105, 1014},
    {"Sensor Taps", 1046},
};
const LayoutGroup kCameraControlGroups[] = {
    {"Image", 0, 0, kImageRows}, {"Trigger", 1, 0, kTriggerRows},
    {"", 0, 1, kLevelRows},      {"", 1, 1, kTimingRows},
};

// "I/O"; the line inverters' text stands left of their boxes.
const LayoutRow kActiveGpoRows[] = {{"Active GPO", 1048}};
const LayoutRow kGpo1Rows[] = {
    {"Line Source", 1046}, {"Line Inverter", 1014}, {"Strobe Duration", 1015},
    {"Strobe Delay", 1016},
};
const LayoutRow kGpo2Rows[] = {
    {"Line Source", 1047}, {"Line Inverter", 1019}, {"Strobe Duration", 1017},
    {"Strobe Delay", 1018},
};
const LayoutGroup kIOGroups[] = {
    {nullptr, 0, 0, kActiveGpoRows}, {"GPO1", 0, 1, kGpo1Rows}, {"GPO2", 1, 1, kGpo2Rows},
};

// "Color Camera Settings"
const LayoutRow kColorRows[] = {
    {"Digital Red", 1109}, {"Digital Green", 1110}, {"Digital Blue", 1111},
    {"Color Filter", 1117},
};
const LayoutGroup kColorGroups[] = {{nullptr, 0, 0, kColorRows}};

// clang-format on

const PageLayout kLayouts[] = {
    {CPropCameraControls::kTemplateId, kCameraControlGroups},
    {CPropIO::kTemplateId, kIOGroups},
    {CPropColor::kTemplateId, kColorGroups},
};

constexpr int kSpacing = 6;

void Name(GtkWidget* widget, int id) {
    gtk_widget_set_name(widget, std::to_string(id).c_str());
}

GtkWidget* MakeControl(ControlKind kind) {
    switch (kind) {
        case ControlKind::IntegerEdit:
        case ControlKind::DecimalEdit: {
            GtkWidget* entry = gtk_entry_new();
            gtk_entry_set_width_chars(GTK_ENTRY(entry), 9);
            // Enter presses OK, as in a dialog box.
            gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
            return entry;
        }
        case ControlKind::CheckBox:
            return gtk_check_button_new();
        case ControlKind::ComboBox:
            return gtk_combo_box_text_new();
    }
    return gtk_label_new("");
}

GtkWidget* MakeLabel(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    return label;
}

class PageBuilder {
  public:
    PageBuilder(const PropertyPage& built, GtkWidget* container) : page(built), owner(container) {}

    GtkWidget* Group(const LayoutGroup& group) {
        GtkWidget* grid = gtk_grid_new();
        gtk_grid_set_row_spacing(GTK_GRID(grid), kSpacing);
        gtk_grid_set_column_spacing(GTK_GRID(grid), kSpacing * 2);
        gtk_container_set_border_width(GTK_CONTAINER(grid), kSpacing);
        GtkSizeGroup* labels = LabelColumn(group.column);
        int line = 0;
        for (const LayoutRow& row : group.rows) {
            Row(GTK_GRID(grid), line++, row, labels);
        }
        if (group.title == nullptr) {
            return grid;
        }
        GtkWidget* frame = gtk_frame_new(*group.title != '\0' ? group.title : nullptr);
        gtk_container_add(GTK_CONTAINER(frame), grid);
        return frame;
    }

    PageControls TakeControls() { return std::move(controls); }

  private:
    // Groups in one column of the page line their controls up.
    GtkSizeGroup* LabelColumn(int column) {
        const std::string key = "zavaded-label-column-" + std::to_string(column);
        auto* sizes = static_cast<GtkSizeGroup*>(g_object_get_data(G_OBJECT(owner), key.c_str()));
        if (sizes == nullptr) {
            sizes = gtk_size_group_new(GTK_SIZE_GROUP_HORIZONTAL);
            // Owned by the page, which outlives its labels.
            g_object_set_data_full(G_OBJECT(owner), key.c_str(), sizes, g_object_unref);
        }
        return sizes;
    }

    void Row(GtkGrid* grid, int line, const LayoutRow& row, GtkSizeGroup* labels) {
        GtkWidget* label = nullptr;
        if (row.checkBoxId != 0) {
            label = gtk_check_button_new_with_label(row.label);
            Add(row.checkBoxId, label);
            controls.fields.push_back(label);
        } else {
            label = MakeLabel(row.label);
        }
        gtk_size_group_add_widget(labels, label);
        gtk_grid_attach(grid, label, 0, line, 1, 1);
        const ControlRow* control = Find(row.controlId);
        if (control == nullptr) {
            return;
        }
        GtkWidget* widget = MakeControl(control->kind);
        gtk_widget_set_halign(widget, GTK_ALIGN_START);
        Add(control->id, widget);
        controls.fields.push_back(widget);
        gtk_grid_attach(grid, widget, 1, line, 1, 1);
        if (control->rangeLabelId != kNoRangeLabel) {
            GtkWidget* range = MakeLabel("");
            Add(control->rangeLabelId, range);
            gtk_grid_attach(grid, range, 2, line, 1, 1);
        }
    }

    const ControlRow* Find(int controlId) const {
        const auto rows = page.Controls();
        const auto found =
            std::find_if(rows.begin(), rows.end(),
                         [controlId](const ControlRow& row) { return row.id == controlId; });
        return found != rows.end() ? &*found : nullptr;
    }

    void Add(int id, GtkWidget* widget) {
        Name(widget, id);
        controls.byId[id] = widget;
    }

    const PropertyPage& page;
    GtkWidget* owner;
    PageControls controls;
};

// A control the page's table names but its layout lacks would silently
// read as empty; say so in the log instead.
void ReportMissingControls(const PropertyPage& page, const std::map<int, GtkWidget*>& controls) {
    for (const ControlRow& row : page.Controls()) {
        for (const int id : {row.id, row.rangeLabelId}) {
            if (id != kNoRangeLabel && !controls.contains(id)) {
                gtk_log::Log(1,
                             "PropertyPage::OnInitDialog: ERROR: template %d has no control %d\n",
                             page.TemplateId(), id);
            }
        }
    }
}

}  // namespace

PageControls BuildPageControls(const PropertyPage& page, GtkWidget* container) {
    GtkWidget* grid = gtk_grid_new();
    gtk_grid_set_row_spacing(GTK_GRID(grid), kSpacing);
    gtk_grid_set_column_spacing(GTK_GRID(grid), kSpacing);
    gtk_container_set_border_width(GTK_CONTAINER(grid), kSpacing);
    PageBuilder builder(page, container);
    for (const PageLayout& layout : kLayouts) {
        if (layout.templateId != page.TemplateId()) {
            continue;
        }
        for (const LayoutGroup& group : layout.groups) {
            GtkWidget* widget = builder.Group(group);
            gtk_widget_set_hexpand(widget, TRUE);
            gtk_grid_attach(GTK_GRID(grid), widget, group.column, group.row, 1, 1);
        }
    }
    gtk_container_add(GTK_CONTAINER(container), grid);
    PageControls controls = builder.TakeControls();
    ReportMissingControls(page, controls.byId);
    return controls;
}
