#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <thread>

#include "tb_error.h"
#include "tb_framework.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

// UTF-16LE bytes to UTF-8, checking that every unit is whole.
std::string DecodeUtf16Le(const std::string& bytes) {
    EXPECT_EQ(bytes.size() % 2, 0u);
    std::u16string units(bytes.size() / 2, u'\0');
    std::memcpy(units.data(), bytes.data(), units.size() * 2);
    return TB_String(units.c_str()).ToStdString();
}

std::string TodayLogName() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "error_%04d%02d%02d.txt", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday);
    return name;
}

class ErrorLog : public ::testing::Test {
protected:
    void SetUp() override {
        TB_AppDescriptor descriptor;
        descriptor.Name = u"LumoVox";
        ASSERT_TRUE(TB_ParseVersion("1.0.0.0", descriptor));
        testing::internal::CaptureStdout();  // keeps the banner out of the test output
        TB_FrameworkStartup(descriptor);
        testing::internal::GetCapturedStdout();
        TB_Error::SetLogFolder(TB_Uri(TB_String(m_temp.Path().c_str())));
    }
    void TearDown() override { TB_FrameworkShutdown(); }

    std::string LogText() { return DecodeUtf16Le(ReadFile(m_temp / TodayLogName())); }

    TempFolder m_temp;
};

TEST_F(ErrorLog, LineFormatIsExactUtf16LeWithABareLineFeed) {
    TB_Error* record = TB_Error::Report(1, 3, nullptr, "tc_settings.cpp", 42);
    EXPECT_EQ(record->Source().ToStdString(), "tc_settings.cpp(42)");
    TB_Error::Report(256, 5, u"Faile to parse Json : \u3042", nullptr, 0);
    std::string bytes = ReadFile(m_temp / TodayLogName());
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_NE(bytes.substr(0, 2), std::string("\xFF\xFE"));  // no byte-order mark
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\n\0", 2));
    std::string text = DecodeUtf16Le(bytes);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::regex first(
        R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\t1\.0\.0\.0\t   1\t     3\t\ttc_settings\.cpp\(42\)\n)");
    std::regex second(
        R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\t1\.0\.0\.0\t 256\t     5\tFaile to parse Json : .+\t\n)");
    size_t split = text.find('\n') + 1;
    EXPECT_TRUE(std::regex_match(text.substr(0, split), first)) << text;
    EXPECT_TRUE(std::regex_match(text.substr(split), second)) << text;
    EXPECT_EQ(TB_Error::ReportFailedCheck("x.cpp", 7)->Code(), 3);
}

TEST_F(ErrorLog, MemoryKeepsAtMostOneHundredRecordsTrimmedToFifty) {
    for (int i = 0; i < 100; ++i) {
        TB_Error::Report(2, i, nullptr, nullptr, 0);
    }
    EXPECT_EQ(TB_Error::RecordCount(), 100);
    TB_Error::Report(2, 100, nullptr, nullptr, 0);
    ASSERT_EQ(TB_Error::RecordCount(), 50);
    TB_Ref<TB_Error> oldest = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(0));
    EXPECT_EQ(oldest->Code(), 51);
    TB_Ref<TB_Error> newest = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(49));
    EXPECT_EQ(newest->Code(), 100);
}

TEST_F(ErrorLog, NoFolderNoFileAndDescriptionsAreLookedUp) {
    TB_Error::SetLogFolder(TB_Uri());
    TB_Error::Report(2, 1, u"kept in memory only", nullptr, 0);
    EXPECT_FALSE(fs::exists(m_temp / TodayLogName()));
    EXPECT_EQ(TB_Error::RecordCount(), 1);

    EXPECT_EQ(TB_Error::FindDescription(256, 5), nullptr);
    TB_Ref<TB_Error> lookup = TB_Ref<TB_Error>::Adopt(TB_Error::CopyRecord(1));
    EXPECT_EQ(lookup->Level(), 1);
    EXPECT_EQ(lookup->Code(), 1001);
    EXPECT_EQ(lookup->Message().ToStdString(), "256-5");
    TB_Error::RegisterDescription(256, 5, TB_String(u"Settings"));
    ASSERT_NE(TB_Error::FindDescription(256, 5), nullptr);
    EXPECT_EQ(TB_Error::FindDescription(256, 5)->ToStdString(), "Settings");
}

TEST_F(ErrorLog, ReportsFromEightThreadsLoseNoLine) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 1000; ++i) {
                TB_String message;
                message.Format(u"thread %d report %d", t, i);
                TB_Error::Report(2, t, message.Chars(), "worker.cpp", i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::string text = LogText();
    std::regex line(
        R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\t1\.0\.0\.0\t   2\t     \d\tthread \d report \d+\tworker\.cpp\(\d+\))");
    std::set<std::string> seen;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        std::string one = text.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(one, line)) << one;
        seen.insert(one.substr(one.find("thread")));
        start = end + 1;
    }
    EXPECT_EQ(seen.size(), 8000u);
    EXPECT_LE(TB_Error::RecordCount(), 100);
}

TEST_F(ErrorLog, PruneKeepsTheFiftyGreatestNames) {
    for (int day = 1; day <= 60; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "error_2026%02d%02d.txt", 1 + (day - 1) / 28,
                      1 + (day - 1) % 28);
        WriteFile(m_temp / name, "x");
    }
    WriteFile(m_temp / "zz-stray.txt", "a name that sorts after every log counts too");
    TB_Error::PruneLogFiles();
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(m_temp.Path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    ASSERT_EQ(left.size(), 50u);
    EXPECT_EQ(left.back(), "zz-stray.txt");
    EXPECT_EQ(left.front(), "error_20260112.txt");  // the 11 oldest are gone
}

TEST_F(ErrorLog, PruneCountsEachFileOnceWhateverItsName) {
    for (int day = 1; day <= 60; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "error_2026%02d%02d.txt", 1 + (day - 1) / 28,
                      1 + (day - 1) % 28);
        WriteFile(m_temp / name, "x");
    }
    // Names that are not UTF-8 (they sort after every log name), one in a folder of its own.
    WriteFile(m_temp / "\x82\xA0.txt", "Shift_JIS");
    WriteFile(m_temp /
                  "\x80"
                  "dir/\xFFinside.txt",
              "nested");
    TB_Error::PruneLogFiles();
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(m_temp.Path())) {
        if (entry.is_regular_file()) {
            left.push_back(entry.path().filename().string());
        }
    }
    std::sort(left.begin(), left.end());
    ASSERT_EQ(left.size(), 50u);
    EXPECT_EQ(left.front(), "error_20260113.txt");  // the 12 oldest are gone
    EXPECT_EQ(left[47], "error_20260304.txt");      // the newest stays
    EXPECT_EQ(left[48], "\x82\xA0.txt");
    EXPECT_EQ(left[49], "\xFFinside.txt");
}

TEST(ErrorLogBeforeInit, PrintsTheNotInitialisedTextOnce) {
    ASSERT_FALSE(TB_Error::IsInitialized());
    testing::internal::CaptureStdout();
    TB_Error* orphan = TB_Error::Report(2, 1, u"early", nullptr, 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "TB_Error is not initalized. Please call TB_Error::Init()!\n");
    EXPECT_EQ(orphan->RefCount(), 1);
    EXPECT_EQ(TB_Error::RecordCount(), 0);
    orphan->Release();  // nobody else holds it
}

}  // namespace
