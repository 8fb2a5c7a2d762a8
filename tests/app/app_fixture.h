#pragma once
// Boards started on the simulated target by the driver library, as the device
// manager starts them, for tests that drive them through aoclib alone. Every
// test ends with no key, block, lock or device handle left behind.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "aoclib.h"
#include "registry_layout.h"
#include "target.h"

namespace apptest {

using sim::WString;

// A board in a slot of its own, with 0x100 ports of its own.
inline sim::BoardConfig InSlot(DWORD slot, int switchNumber = -1) {
    sim::BoardConfig config;
    config.slot = slot;
    config.ioBase = 0xD000 + 0x100 * (slot - 1);
    if (switchNumber >= 0) {
        config.subsystemId = 0xA100;
        config.switchRegister = static_cast<BYTE>(switchNumber);
    }
    return config;
}

// A template key as the image build leaves it: its switch number and the
// template texts of its channels (fewer than four leave the rest out).
inline void WriteTemplate(int number, DWORD switchNumber, const std::vector<const char*>& texts) {
    WString key = WString(TEMPLATE_ROOT_KEY_W) + TEXT("\\Template") + sim::Widen(std::to_string(number));
    sim::SetDword(key, VALUE_SWITCH_ID_W, switchNumber);
    for (size_t i = 0; i < texts.size(); ++i) {
        sim::SetString(key, WString(VALUE_AO_SETTINGS_PREFIX_W) + static_cast<WCHAR>(TEXT('0') + i),
                       sim::Widen(texts[i]));
    }
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        cesim::ResetAll();
        heap_ = cesim::LiveLocalAllocations();
        sections_ = cesim::LiveCriticalSections();
        handles_ = cesim::OpenStreamHandles();
        target_ = std::make_unique<sim::Target>();
        // As the image build leaves it: boards no template names start on the
        // driver's default, 0..10 V (without the key they keep zeros).
        sim::CreateKey(TEMPLATE_ROOT_KEY_W);
    }
    void TearDown() override {
        for (AocBoard* b : opened_) EXPECT_EQ(AocClose(b), AOC_OK);
        target_.reset();
        EXPECT_EQ(cesim::OpenKeyCount(), 0u) << "a registry key was left open";
        EXPECT_EQ(cesim::LiveLocalAllocations(), heap_) << "a block was not freed";
        EXPECT_EQ(cesim::LiveCriticalSections(), sections_) << "a lock was not deleted";
        EXPECT_EQ(cesim::OpenStreamHandles(), handles_) << "a device handle was not closed";
        cesim::ResetAll();
    }

    // Adds the boards and starts each; returns the index of the first.
    size_t Start(const std::vector<sim::BoardConfig>& boards) {
        size_t first = target_->BoardCount();
        for (const sim::BoardConfig& b : boards) {
            int index = target_->AddBoard(b);
            EXPECT_GE(index, 0);
            std::string error;
            EXPECT_TRUE(target_->Activate(static_cast<size_t>(index), &error)) << error;
        }
        return first;
    }

    // Opened here, closed by TearDown.
    AocBoard* OpenByName(const char* name) {
        AocBoard* b = nullptr;
        EXPECT_EQ(AocOpenByName(name, &b), AOC_OK) << name;
        if (b) opened_.push_back(b);
        return b;
    }
    // Closes a board opened by OpenByName before TearDown would.
    void Close(AocBoard* board) {
        for (size_t i = 0; i < opened_.size(); ++i) {
            if (opened_[i] == board) opened_.erase(opened_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        EXPECT_EQ(AocClose(board), AOC_OK);
    }

    sim::Target& T() { return *target_; }
    sim::Board& BoardAt(size_t index) { return target_->BoardAt(index); }

    std::unique_ptr<sim::Target> target_;
    std::vector<AocBoard*> opened_;
    size_t heap_ = 0, sections_ = 0, handles_ = 0;
};

}  // namespace apptest
