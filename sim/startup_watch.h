#pragma once
// Watches the registry calls a driver makes while it starts and tells where
// the board's channel settings came from.
#include "registry_util.h"

namespace sim {

enum class SettingsOrigin {
    Unchanged,         // nothing was loaded: the template root key could not be opened or read
    DeviceKey,         // the board's own driver device key
    DeviceKeyUnread,   // its driver device key holds no readable channel 0 text: nothing was loaded
    DeviceKeyMissing,  // a device entry matched, but the device key of its number could not be opened
    Template,          // a template key
    Defaults,          // a template root key without a matching template
};

class StartupWatch {
public:
    StartupWatch();   // observes from here...
    ~StartupWatch();  // ...to here
    StartupWatch(const StartupWatch&) = delete;
    StartupWatch& operator=(const StartupWatch&) = delete;

    SettingsOrigin Origin() const;
    // The name of the device key or template key the settings came from, or
    // of the device key that could not be opened or read.
    WString Source() const;
    // The driver device key the driver wrote last (its published key), or empty.
    WString PublishedKey() const;

private:
    void See(const cesim::RegistryEvent& event);

    bool settled_ = false;        // channel 0's text was asked for
    bool channelRead_ = false;    // ...and read
    bool underTemplates_ = false; // ...from a template key
    WString source_;
    bool rootTried_ = false;      // the template root key was opened, or tried
    bool rootRead_ = false;       // ...and its sub-keys counted
    WString missingKey_;          // the last driver device key that would not open
    WString published_;
};

}  // namespace sim
