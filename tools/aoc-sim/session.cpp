#include "session.h"

#include <cstdio>
#include <filesystem>

#include "module.h"
#include "reg_file.h"
#include "registry_layout.h"
#include "settings_text.h"
#include "vqx6406s.h"

namespace {

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%x", value);
    return text;
}

std::string Range(const AoChannelSetting& s) {
    char text[96];
    int n = std::snprintf(text, sizeof(text), "%g..%g V", s.VoltageMin, s.VoltageMax);
    if (s.CurrentMax != 0) std::snprintf(text + n, sizeof(text) - n, ", %g..%g mA", s.CurrentMin, s.CurrentMax);
    return text;
}

}  // namespace

bool Session::LoadRegistry(const std::string& file, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return true;
    return sim::ImportRegFile(file, error);
}

bool Session::Import(const std::string& script, std::string* error) { return sim::ImportRegFile(script, error); }

bool Session::AddBoards(const std::vector<BoardList>& boards, std::string* error) {
    for (size_t i = 0; i < boards.size(); ++i) {
        std::string why;
        if (target_.AddBoard(boards[i].config, &why) < 0) {
            *error = "board " + std::to_string(i + 1) + ": " + why;
            return false;
        }
        started_.emplace_back();
    }
    return true;
}

bool Session::StartBoards() {
    bool all = true;
    for (size_t i = 0; i < target_.BoardCount(); ++i) {
        Started& s = started_[i];
        bool ok;
        {
            sim::StartupWatch watch;
            std::string error;
            ok = target_.Activate(i, &error);
            s.error = ok ? "" : (error.empty() ? "it did not start" : error);
            s.origin = watch.Origin();
            s.source = watch.Source();
            s.publishedKey = watch.PublishedKey();
            s.channelsLoaded = watch.ChannelsLoaded();
            s.whyNotLoaded = watch.WhyNotLoaded();
        }
        all = all && ok;
        if (!ok) continue;
        const ::DeviceContext* device = reinterpret_cast<const ::DeviceContext*>(target_.DeviceContext(i));
        s.callName = sim::Narrow(device->CallName);
        s.deviceNumber = device->DeviceNumber;
        s.switchId = device->SwitchID;
        char name[DEVICE_NAME_UNITS];
        FormatDisplayName(device->SubsystemID, device->SwitchID, device->BaseAddress, name, sizeof name);
        s.displayName = name;
        for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) s.channels[channel] = device->Channels[channel];
    }
    return all;
}

void Session::PrintBoards(std::ostream& out) const {
    if (target_.BoardCount() == 0) out << "no boards (see --help)\n";
    for (size_t i = 0; i < target_.BoardCount(); ++i) PrintBoard(out, i);
}

void Session::PrintBoard(std::ostream& out, size_t index) const {
    const sim::BoardConfig& c = target_.ConfigAt(index);
    const Started& s = started_[index];
    std::string place = "bus " + std::to_string(c.bus) + " slot " + std::to_string(c.slot) + ", " +
                        (c.ioLength ? "I/O " + Hex(c.ioBase) + "+" + Hex(c.ioLength) : std::string("no I/O window")) +
                        ", subsystem " + Hex(c.subsystemId);
    if (!s.error.empty()) {
        out << "board " << index + 1 << " (" << place << "): not started: " << s.error << "\n";
        return;
    }
    out << (s.callName.empty() ? "(no call name)" : s.callName) << "  device " << s.deviceNumber << "  SwitchID "
        << s.switchId << "  \"" << s.displayName << "\"\n";
    out << "    " << place << "\n";
    const std::string source = sim::Narrow(s.source);
    out << "    settings ";
    switch (s.origin) {
        case sim::SettingsOrigin::DeviceKey:
            out << "from its device key " << source;
            if (s.channelsLoaded < AO_CHANNEL_COUNT) {
                out << " for channel"
                    << (s.channelsLoaded > 1 ? "s 0 to " + std::to_string(s.channelsLoaded - 1) : std::string(" 0"))
                    << "; channel " << s.channelsLoaded << " on not loaded: " << s.whyNotLoaded;
            }
            break;
        case sim::SettingsOrigin::DeviceKeyUnread:
            out << "not loaded: its device key " << source << ": " << s.whyNotLoaded;
            break;
        case sim::SettingsOrigin::DeviceKeyMissing:
            out << "not loaded: a device entry matched the board, but its device key " << source << " does not open";
            break;
        case sim::SettingsOrigin::Template: out << "from template " << source; break;
        case sim::SettingsOrigin::Defaults: out << "are the defaults (no template has its SwitchID)"; break;
        case sim::SettingsOrigin::Unchanged: out << "not loaded: there is no readable template root key"; break;
    }
    out << "\n";
    if (s.publishedKey.empty()) out << "    nothing published\n";
    for (int channel = 0; channel < AO_CHANNEL_COUNT; ++channel) {
        out << "    AO" << channel << "  " << Range(s.channels[channel]) << "  InitialCode "
            << s.channels[channel].InitialCode << "\n";
    }
}

namespace {

// The program's name and what follows it, without the blanks between.
void SplitCommand(const std::string& line, std::string* program, std::string* arguments) {
    size_t start = line.find_first_not_of(" \t");
    size_t end = start == std::string::npos ? std::string::npos : line.find_first_of(" \t", start);
    *program = start == std::string::npos ? std::string() : line.substr(start, end - start);
    size_t rest = end == std::string::npos ? std::string::npos : line.find_first_not_of(" \t", end);
    *arguments = rest == std::string::npos ? std::string() : line.substr(rest);
}

}  // namespace

std::string Session::ProgramFile(const std::string& commandLine) const {
    std::string program, arguments;
    SplitCommand(commandLine, &program, &arguments);
    return program.empty() ? std::string() : target_.FindProgram(program);
}

bool Session::RunProgram(const std::string& commandLine, int* exitCode, std::string* error) {
    std::string program, arguments;
    SplitCommand(commandLine, &program, &arguments);
    std::string file = ProgramFile(commandLine);
    if (file.empty()) {
        *error = "the target holds no program " + program;
        return false;
    }
    return sim::RunProgram(file, arguments, exitCode, error);
}

int Session::FindBoard(const std::string& callName) const { return target_.FindByCallName(sim::Widen(callName)); }

void Session::Shutdown() {
    for (size_t i = 0; i < target_.BoardCount(); ++i) {
        if (target_.IsActive(i)) target_.Unload(i);
    }
}

bool Session::SaveRegistry(const std::string& file, std::string* error) { return sim::ExportRegFile(file, error); }
