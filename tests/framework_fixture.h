#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tb_framework.h"
#include "tb_messagebox.h"
#include "test_util.h"

struct ShownMessage {
    std::string text;
    std::string title;
    tb_uint style;
};

// The framework started quietly with a private data folder (XDG_DATA_HOME), and every
// message box answered with OK and recorded.
class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", DataHome().c_str(), 1);
        setenv("XDG_CACHE_HOME", (DataHome() + "/cache").c_str(), 1);
        std::filesystem::create_directories(DataHome() + "/LumoVox");
        TB_AppDescriptor descriptor;
        descriptor.Name = u"LumoVox";
        TB_ParseVersion("1.0.0.0", descriptor);
        testing::internal::CaptureStdout();
        TB_FrameworkStartup(descriptor);
        testing::internal::GetCapturedStdout();
        TB_SetMessageBoxHook(
            [this](TB_WindowHandle, const TB_String& text, const TB_String& title, tb_uint style) {
                m_messages.push_back({text.ToStdString(), title.ToStdString(), style});
                return TB_IDOK;
            });
    }
    void TearDown() override {
        TB_SetMessageBoxHook(nullptr);
        TB_FrameworkShutdown();
    }

    // Where XDG_DATA_HOME points; the application's folder is DataHome()/LumoVox.
    virtual std::string DataHome() const { return m_temp.Path(); }
    std::string DataPath(const std::string& name) const { return DataHome() + "/LumoVox/" + name; }

    TempFolder m_temp;
    std::vector<ShownMessage> m_messages;
};
