#pragma once
// Watches the registry calls a driver makes while it starts and tells where
// the board's channel settings came from.
#include <string>

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
    // From a device key: how many channels, from channel 0 on, the driver
    // took a text for; and why it took none for the next one ("" when all four).
    int ChannelsLoaded() const;
    std::string WhyNotLoaded() const;

private:
    void See(const cesim::RegistryEvent& event);
    // What the value just read holds: the driver takes a channel's text only
    // when it is one.
    DWORD TypeOf(const WString& key, const WString& name);

    bool settled_ = false;        // channel 0's text was asked for
    bool underTemplates_ = false; // ...from a template key
    WString sourceKey_;           // ...whose path this is
    WString source_;
    // Each channel's text asked for from that key: read, and of what type.
    struct Channel {
        bool asked = false;
        bool read = false;
        DWORD type = 0;
    };
    Channel channels_[4];
    bool probing_ = false;        // the watch's own reads are not the driver's
    bool rootTried_ = false;      // the template root key was opened, or tried
    bool rootRead_ = false;       // ...and its sub-keys counted
    WString missingKey_;          // the last driver device key that would not open
    WString published_;
};

}  // namespace sim
