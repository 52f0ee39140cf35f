#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "x11_lumovox.h"

namespace {

using MainWindowInX11 = LumovoxInX11;

// The first start, with nothing stored: 1280 x 1024 at the top left of the screen.
TEST_F(MainWindowInX11, FirstStartFillsTheTopLeft) {
    Start();
    rapidjson::Document dump = Dump();
    const rapidjson::Value* frame = FindId(dump, "mainFrame");
    ASSERT_NE(frame, nullptr);
    const auto& bounds = (*frame)["ScreenBounds"];
    EXPECT_EQ(bounds[0].GetDouble(), 0);
    EXPECT_EQ(bounds[1].GetDouble(), 0);
    EXPECT_EQ(bounds[2].GetDouble(), 1280);
    EXPECT_EQ(bounds[3].GetDouble(), 1024);
}

}  // namespace
