#pragma once
// Watches the registry calls a driver makes while it starts and tells where
// the board's channel settings came from.
#include "registry_util.h"

namespace sim {

enum class SettingsOrigin {
    Unchanged,  // nothing was loaded: no template root key
    DeviceKey,  // the board's own driver device key
    Template,   // a template key
    Defaults,   // a template root key without a matching template
};

class StartupWatch {
public:
    StartupWatch();   // observes from here...
    ~StartupWatch();  // ...to here
    StartupWatch(const StartupWatch&) = delete;
    StartupWatch& operator=(const StartupWatch&) = delete;

    SettingsOrigin Origin() const;
    // The name of the device key or template key the settings came from.
    WString Source() const;
    // The driver device key the driver wrote last (its published key), or empty.
    WString PublishedKey() const;

private:
    void See(const cesim::RegistryEvent& event);

    SettingsOrigin origin_ = SettingsOrigin::Unchanged;
    WString source_;
    WString published_;
    bool settled_ = false;
};

}  // namespace sim
