#pragma once

#include <gtk/gtk.h>

#include <map>
#include <vector>

class PropertyPage;

struct PageControls {
    // Every control and range label, by its id.
    std::map<int, GtkWidget*> byId;
    // The controls a user works (edits, check boxes, combo boxes), in the
    // order of the page's dialog template: its tab order.
    std::vector<GtkWidget*> fields;
};

// Puts a page's controls into container, in grids grouped as the page's
// dialog template groups them: each row a label, the control and its range
// label. Each widget is named after its id (gtk_widget_get_name), so that
// tests can find it.
PageControls BuildPageControls(const PropertyPage& page, GtkWidget* container);
