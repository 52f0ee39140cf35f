#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "test_util.h"

namespace {

const std::string kTool = std::string(LUMOVOX_BINARY_DIR) + "/app/lumovox-check";
const std::string kSource = LUMOVOX_SOURCE_DIR;

int RunTool(const std::string& arguments) {
    std::string command = "'" + kTool + "' " + arguments + " > /dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Size and the share of opaque pixels of a PNG.
bool Inspect(const std::string& path, unsigned& width, unsigned& height, double& covered) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
    bool ok = png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
    width = image.width;
    height = image.height;
    size_t opaque = 0;
    for (size_t i = 3; i < rgba.size(); i += 4) {
        opaque += rgba[i] > 128 ? 1 : 0;
    }
    covered = rgba.empty() ? 0 : static_cast<double>(opaque) / (rgba.size() / 4);
    return ok;
}

TEST(CheckRenderIcon, WritesTheIconAtTheAskedSizeOrSaysWhyNot) {
    TempFolder temp;
    std::string out = temp / "play.png";
    ASSERT_EQ(RunTool("--render-icon '" + kSource +
                      "/style/dark/saisei_normal.svg' --size 64 --styles " + "--out '" + out + "'"),
              0);
    unsigned width = 0, height = 0;
    double covered = 0;
    ASSERT_TRUE(Inspect(out, width, height, covered));
    EXPECT_EQ(width, 64u);
    EXPECT_EQ(height, 64u);
    EXPECT_GT(covered, 0.15);  // a play triangle, not an empty image
    EXPECT_LT(covered, 0.6);

    WriteFile(temp / "broken.svg", "<svg viewBox=\"0 0 24 24\"><path d=\"Q 1 2 3 4\"/></svg>");
    EXPECT_EQ(RunTool("--render-icon '" + (temp / "broken.svg") + "' --size 24 --out '" +
                      (temp / "b.png") + "'"),
              1);
    EXPECT_EQ(RunTool("--render-icon '" + (temp / "none.svg") + "' --size 24 --out '" +
                      (temp / "b.png") + "'"),
              1);
    EXPECT_EQ(RunTool("--render-icon '" + (temp / "broken.svg") + "' --size 0 --out x.png"), 2);
    EXPECT_EQ(RunTool("--render-icon --size 24"), 2);
}

}  // namespace
