#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "tb_framework.h"
#include "tb_messagebox.h"
#include "test_util.h"

struct ShownMessage {
    std::string text;
    std::string title;
    tb_uint style;
};

// The framework started, a private folder, message boxes answered and recorded.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_DATA_HOME", (m_temp / "data").c_str(), 1);
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

    std::string Path(const std::string& name) const { return m_temp / name; }
    TB_Uri Uri(const std::string& name) const { return TB_Uri(TB_String(Path(name).c_str())); }

    TempFolder m_temp;
    std::vector<ShownMessage> m_messages;
};
