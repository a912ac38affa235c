#pragma once

// Ownership of GLib objects and errors in C++ terms.

#include <glib-object.h>

#include <memory>

namespace zurgige {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

// Holds one reference to a GObject.
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

// The GError out-parameter of a GLib call, freed at the end of its scope.
class GErrorSlot {
  public:
    GErrorSlot() = default;
    ~GErrorSlot() { Clear(); }
    GErrorSlot(const GErrorSlot&) = delete;
    GErrorSlot& operator=(const GErrorSlot&) = delete;

    GError** Out() {
        Clear();
        return &error;
    }
    const GError* Get() const { return error; }
    explicit operator bool() const { return error != nullptr; }
    const char* Message() const { return error != nullptr ? error->message : "no error"; }
    void Clear() { g_clear_error(&error); }

  private:
    GError* error = nullptr;
};

}  // namespace zurgige
