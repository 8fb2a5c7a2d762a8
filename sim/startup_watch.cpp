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
// them; the first such read decides (AOC_Open's reloads come after the
// watch). Without one, the template root key tells the template path from a
// device entry whose device key could not be opened.
void StartupWatch::See(const cesim::RegistryEvent& e) {
    const WString channel0 = WString(VALUE_AO_SETTINGS_PREFIX_W) + TEXT('0');
    const WString driverKeys = WString(DRIVER_SERVICE_KEY_W) + TEXT('\\');
    const WString templateRoot = TEMPLATE_ROOT_KEY_W;
    const bool ok = e.result == ERROR_SUCCESS;
    const bool isRoot = e.key.size() == templateRoot.size() && StartsWithNoCase(e.key, templateRoot);
    if (e.call == cesim::Call::RegCreateKeyEx && ok && StartsWithNoCase(e.key, driverKeys)) published_ = e.key;
    if (settled_) return;
    if (e.call == cesim::Call::RegQueryValueEx && e.name == channel0) {
        if (StartsWithNoCase(e.key, driverKeys)) underTemplates_ = false;
        else if (StartsWithNoCase(e.key, templateRoot + TEXT('\\'))) underTemplates_ = true;
        else return;
        source_ = LastComponent(e.key);
        channelRead_ = ok;
        settled_ = true;
    } else if (e.call == cesim::Call::RegOpenKeyEx && isRoot) {
        rootTried_ = true;
    } else if (e.call == cesim::Call::RegQueryInfoKey && isRoot) {
        rootRead_ = ok;
    } else if (e.call == cesim::Call::RegOpenKeyEx && !ok && StartsWithNoCase(e.key, driverKeys)) {
        missingKey_ = LastComponent(e.key);
    }
}

SettingsOrigin StartupWatch::Origin() const {
    if (settled_) {
        if (underTemplates_) return SettingsOrigin::Template;
        return channelRead_ ? SettingsOrigin::DeviceKey : SettingsOrigin::DeviceKeyUnread;
    }
    if (rootTried_) return rootRead_ ? SettingsOrigin::Defaults : SettingsOrigin::Unchanged;
    return missingKey_.empty() ? SettingsOrigin::Unchanged : SettingsOrigin::DeviceKeyMissing;
}

WString StartupWatch::Source() const {
    if (settled_) return source_;
    return rootTried_ ? WString() : missingKey_;
}

WString StartupWatch::PublishedKey() const { return published_; }

}  // namespace sim
