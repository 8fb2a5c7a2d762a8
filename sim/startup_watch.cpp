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
// watch), and the reads of the other channels from that key follow it.
// Without one, the template root key tells the template path from a device
// entry whose device key could not be opened.
void StartupWatch::See(const cesim::RegistryEvent& e) {
    if (probing_) return;
    const WString channelPrefix = VALUE_AO_SETTINGS_PREFIX_W;
    const WString driverKeys = WString(DRIVER_SERVICE_KEY_W) + TEXT('\\');
    const WString templateRoot = TEMPLATE_ROOT_KEY_W;
    const bool ok = e.result == ERROR_SUCCESS;
    const bool isRoot = e.key.size() == templateRoot.size() && StartsWithNoCase(e.key, templateRoot);
    if (e.call == cesim::Call::RegCreateKeyEx && ok && StartsWithNoCase(e.key, driverKeys)) published_ = e.key;
    const bool channelRead = e.call == cesim::Call::RegQueryValueEx && e.name.size() == channelPrefix.size() + 1 &&
                             e.name.compare(0, channelPrefix.size(), channelPrefix) == 0 &&
                             e.name.back() >= TEXT('0') && e.name.back() <= TEXT('3');
    if (settled_) {
        if (channelRead && e.key == sourceKey_) {
            Channel& channel = channels_[e.name.back() - TEXT('0')];
            if (channel.asked) return;
            channel.asked = true;
            channel.read = ok;
            channel.type = ok ? TypeOf(e.key, e.name) : 0;
        }
        return;
    }
    if (channelRead && e.name.back() == TEXT('0')) {
        if (StartsWithNoCase(e.key, driverKeys)) underTemplates_ = false;
        else if (StartsWithNoCase(e.key, templateRoot + TEXT('\\'))) underTemplates_ = true;
        else return;
        sourceKey_ = e.key;
        source_ = LastComponent(e.key);
        channels_[0] = Channel{true, ok, ok ? TypeOf(e.key, e.name) : 0};
        settled_ = true;
    } else if (e.call == cesim::Call::RegOpenKeyEx && isRoot) {
        rootTried_ = true;
    } else if (e.call == cesim::Call::RegQueryInfoKey && isRoot) {
        rootRead_ = ok;
    } else if (e.call == cesim::Call::RegOpenKeyEx && !ok && StartsWithNoCase(e.key, driverKeys)) {
        missingKey_ = LastComponent(e.key);
    }
}

DWORD StartupWatch::TypeOf(const WString& key, const WString& name) {
    probing_ = true;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) == ERROR_SUCCESS) {
        if (RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS) type = 0;
        RegCloseKey(handle);
    }
    probing_ = false;
    return type;
}

int StartupWatch::ChannelsLoaded() const {
    int count = 0;
    while (count < 4 && channels_[count].read && channels_[count].type == REG_SZ) ++count;
    return count;
}

std::string StartupWatch::WhyNotLoaded() const {
    const int channel = ChannelsLoaded();
    if (channel == 4) return "";
    const std::string name = "\"" + Narrow(VALUE_AO_SETTINGS_PREFIX_W) + std::to_string(channel) + "\"";
    if (!channels_[channel].read) return "it has no " + name;
    static const char* const kTypes[] = {"REG_NONE", "REG_SZ", "REG_EXPAND_SZ", "REG_BINARY", "REG_DWORD",
                                         "REG_DWORD_BIG_ENDIAN", "REG_LINK", "REG_MULTI_SZ"};
    const DWORD type = channels_[channel].type;
    return "it holds " + name + " as " + (type < 8 ? kTypes[type] : "type " + std::to_string(type)) +
           ", and the driver takes a channel's settings only from a text (REG_SZ)";
}

SettingsOrigin StartupWatch::Origin() const {
    if (settled_) {
        if (underTemplates_) return SettingsOrigin::Template;
        return ChannelsLoaded() > 0 ? SettingsOrigin::DeviceKey : SettingsOrigin::DeviceKeyUnread;
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
