#pragma once

#include "framework_fixture.h"

// Libraries on disk under a private folder.
class LibraryTest : public FrameworkTest {
protected:
    std::string DataHome() const override { return m_temp / "data"; }
    std::string Path(const std::string& name) const { return m_temp / name; }
    TB_Uri Uri(const std::string& name) const {
        return TB_Uri(TB_TextFromNative(Path(name).c_str()));
    }
};
