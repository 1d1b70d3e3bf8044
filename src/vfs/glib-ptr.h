// Owning holders for GLib-allocated values, so that every early return frees.
#pragma once

#include <glib-object.h>
#include <memory>

namespace ulvo {

struct GFreeDeleter {
    void operator()(gpointer p) const { g_free(p); }
};
struct GObjectDeleter {
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
struct GErrorDeleter {
    void operator()(GError *e) const { g_error_free(e); }
};
struct GStrvDeleter {
    void operator()(gchar **v) const { g_strfreev(v); }
};
struct GUriListDeleter {
    void operator()(GSList *l) const { g_slist_free_full(l, g_free); }
};
struct GKeyFileDeleter {
    void operator()(GKeyFile *k) const { g_key_file_free(k); }
};

// A g_free'd string.
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
// A g_strfreev'd string vector.
using GStrvPtr = std::unique_ptr<gchar *, GStrvDeleter>;
using GErrorPtr = std::unique_ptr<GError, GErrorDeleter>;
// A GSList of g_free'd strings.
using GUriList = std::unique_ptr<GSList, GUriListDeleter>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GKeyFileDeleter>;

// A reference held on a GObject of type T.
template <typename T> using GObjPtr = std::unique_ptr<T, GObjectDeleter>;

// Fills a GError** and hands the result over to a holder on scope exit.
class ErrorOut {
  public:
    ErrorOut() = default;
    ErrorOut(const ErrorOut &) = delete;
    ErrorOut &operator=(const ErrorOut &) = delete;
    ~ErrorOut()
    {
        if (error_)
            g_error_free(error_);
    }
    GError **out() { return &error_; }
    GError *get() const { return error_; }
    explicit operator bool() const { return error_ != nullptr; }

  private:
    GError *error_ = nullptr;
};

} // namespace ulvo
