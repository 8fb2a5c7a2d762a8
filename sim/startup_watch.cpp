#include "startup_watch.h"

#include "registry_layout.h"

namespace sim {

namespace {

WString LastComponent(const WString& path) {
    size_t at = path.find_last_of(TEXT('\\'));
    return at == WString::npos ? path : path.substr(at + 1);
}

}  // namespace

StartupWatch::StartupWatch() {
    cesim::SetRegistryObserver([this](const cesim::RegistryEvent& e) { See(e); });
}

StartupWatch::~StartupWatch() { cesim::SetRegistryObserver(nullptr); }

// Settings are loaded by reading channel 0's text from the key that supplies
// them; the template root key opening without such a read means defaults.
// The first such read decides: AOC_Open's reloads come after the watch.
void StartupWatch::See(const cesim::RegistryEvent& e) {
    const WString channel0 = WString(VALUE_AO_SETTINGS_PREFIX_W) + TEXT('0');
    const WString driverKeys = WString(DRIVER_SERVICE_KEY_W) + TEXT('\\');
    const WString templateRoot = TEMPLATE_ROOT_KEY_W;
    if (e.call == cesim::Call::RegCreateKeyEx && e.result == ERROR_SUCCESS && StartsWithNoCase(e.key, driverKeys)) {
        published_ = e.key;
    }
    if (settled_) return;
    if (e.call == cesim::Call::RegQueryValueEx && e.name == channel0) {
        if (StartsWithNoCase(e.key, driverKeys)) origin_ = SettingsOrigin::DeviceKey;
        else if (StartsWithNoCase(e.key, templateRoot + TEXT('\\'))) origin_ = SettingsOrigin::Template;
        else return;
        source_ = LastComponent(e.key);
        settled_ = true;
    } else if (e.call == cesim::Call::RegOpenKeyEx && e.result == ERROR_SUCCESS && e.key.size() == templateRoot.size() &&
               StartsWithNoCase(e.key, templateRoot)) {
        origin_ = SettingsOrigin::Defaults;
    }
}

SettingsOrigin StartupWatch::Origin() const { return origin_; }

WString StartupWatch::Source() const { return source_; }

WString StartupWatch::PublishedKey() const { return published_; }

}  // namespace sim
