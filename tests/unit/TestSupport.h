// Helpers shared by the unit tests: message capture and engine start-up
// over the scriptable test host.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Messages.h"
#include "obsqleng.h"
#include "platform/MessageSink.h"
#include "tests/testhost/TestHost.h"

namespace qxtest {

// Collects the message boxes shown while it lives.
class MessageCapture {
public:
    MessageCapture() { qx::platform::SetMessageSink(&MessageCapture::Sink, this); }
    ~MessageCapture() { qx::platform::SetMessageSink(nullptr, nullptr); }
    const std::vector<std::pair<std::string, std::string>>& Shown() const { return shown_; }
    std::string LastText() const { return shown_.empty() ? std::string() : shown_.back().second; }

private:
    static void Sink(const char* title, const char* text, void* self) {
        static_cast<MessageCapture*>(self)->shown_.emplace_back(title, text);
    }
    std::vector<std::pair<std::string, std::string>> shown_;
};

// A test that runs statements: the engine is started over a fresh test host
// (French messages) and ended afterwards.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        testhost::Reset();
        ASSERT_EQ(OB4InitInstance(0, testhost::ModuleTable()), 1);
        qx::SetEnglishMessages(0);
    }
    void TearDown() override { OBSQLFinInstance(0); }
};

}  // namespace qxtest
