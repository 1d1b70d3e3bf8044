// Stands in for other programs' services on the test's session bus: owns
// the names given and records the method calls they receive.
#pragma once

#include <gio/gio.h>
#include <string>
#include <vector>

namespace ulvo_test
{

class FakeBusService
{
  public:
    explicit FakeBusService(const std::vector<std::string> &names);
    ~FakeBusService();
    FakeBusService(const FakeBusService &) = delete;
    FakeBusService &operator=(const FakeBusService &) = delete;

    // "destination path interface member [no-reply] arg1 arg2 ..." per call,
    // in the order received.
    std::vector<std::string> calls() const;
    bool owns_all() const { return owns_all_; }

  private:
    static GDBusMessage *filter(GDBusConnection *, GDBusMessage *message, gboolean incoming,
                                gpointer self);
    GDBusConnection *connection_ = nullptr;
    guint filter_id_ = 0;
    bool owns_all_ = false;
    mutable GMutex lock_;
    std::vector<std::string> calls_;
};

} // namespace ulvo_test
