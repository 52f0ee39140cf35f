#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "x11_lumovox.h"

namespace {

using PanelInX11 = LumovoxInX11;

TEST_F(PanelInX11, TheSampleLibraryIsListed) {
    Start({std::string(LUMOVOX_SOURCE_DIR) + "/samples/hikari"});
    rapidjson::Document dump = Dump();
    const rapidjson::Value* panel = FindId(dump, "voiceDataListPanel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ((*panel)["Properties"]["Items"].Size(), 5u);
}

}  // namespace
