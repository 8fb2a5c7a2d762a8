#pragma once
// One run of the simulated target: its registry, its boards and what each
// board's start-up did. Requests against a board find it by its call name.
#include <ostream>
#include <string>
#include <vector>

#include "ao_setting.h"
#include "board_list.h"
#include "registry_layout.h"
#include "startup_watch.h"
#include "target.h"

class Session {
public:
    // A missing file is an empty registry, to be created at the save.
    bool LoadRegistry(const std::string& file, std::string* error);
    bool Import(const std::string& script, std::string* error);
    bool AddBoards(const std::vector<BoardList>& boards, std::string* error);
    // Loads the driver for every board; false when any failed to start.
    bool StartBoards();
    void PrintBoards(std::ostream& out) const;
    // The board whose call name this is (AOC1:), or -1.
    int FindBoard(const std::string& callName) const;
    sim::Target& Target() { return target_; }
    // "PROGRAM ARGUMENTS": the program file the target's folder holds under
    // its first word, or empty.
    std::string ProgramFile(const std::string& commandLine) const;
    // Runs the program in the target's process, as the target runs it in one
    // of its own, with the rest of the line as its command line. False with
    // `error` when it could not run.
    bool RunProgram(const std::string& commandLine, int* exitCode, std::string* error);
    // Unloads every board, so that only what persists is saved.
    void Shutdown();
    bool SaveRegistry(const std::string& file, std::string* error);

private:
    // What one board's start-up made of it, taken as soon as it ends, before
    // the next board starts: boards that share keys each show their own.
    struct Started {
        std::string error;  // empty when it started
        sim::SettingsOrigin origin = sim::SettingsOrigin::Unchanged;
        sim::WString source;
        sim::WString publishedKey;
        int channelsLoaded = 0;    // from a device key, channel 0 on
        std::string whyNotLoaded;  // the next channel's reason, when fewer than all
        std::string callName;
        LONG deviceNumber = -1;
        DWORD switchId = 0;
        std::string displayName;
        AoChannelSetting channels[AO_CHANNEL_COUNT] = {};
    };
    void PrintBoard(std::ostream& out, size_t index) const;

    sim::Target target_;
    std::vector<Started> started_;
};
