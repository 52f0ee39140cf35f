#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "framework_fixture.h"
#include "tb_dropdata.h"
#include "tb_error.h"
#include "tb_framework.h"
#include "tc_app.h"

namespace {

namespace fs = std::filesystem;

using AppTest = FrameworkTest;

class RecordingTask : public TC_DownloadTask {
public:
    RecordingTask(int id, std::vector<int>* order, std::mutex* lock,
                  TB_EventAutoReset* gate = nullptr, TB_EventAutoReset* entered = nullptr,
                  std::function<void()> after = {})
        : m_id(id),
          m_order(order),
          m_lock(lock),
          m_gate(gate),
          m_entered(entered),
          m_after(std::move(after)) {}
    ~RecordingTask() override { ++s_destroyed; }
    void Run() override {
        if (m_entered) {
            m_entered->Set();
        }
        if (m_gate) {
            m_gate->Wait();
        }
        {
            std::lock_guard<std::mutex> guard(*m_lock);
            m_order->push_back(m_id);
        }
        if (m_after) {
            m_after();
        }
    }
    static inline std::atomic<int> s_destroyed{0};

private:
    int m_id;
    std::vector<int>* m_order;
    std::mutex* m_lock;
    TB_EventAutoReset* m_gate;
    TB_EventAutoReset* m_entered;
    std::function<void()> m_after;
};

TEST_F(AppTest, WorkerDrainsItemsQueuedWhileItWasBusy) {
    auto* app = new TC_App();
    EXPECT_TRUE(fs::is_directory(DataPath("errorlogs")));
    std::vector<int> order;
    std::mutex lock;
    TB_EventAutoReset gate, entered, done;
    app->QueueTask(new RecordingTask(0, &order, &lock, &gate, &entered));
    entered.Wait();
    // Three items and three signals while the worker is busy leave the event set once.
    for (int id = 1; id <= 3; ++id) {
        app->QueueTask(
            new RecordingTask(id, &order, &lock, nullptr, nullptr,
                              id == 3 ? std::function<void()>([&] { done.Set(); }) : nullptr));
    }
    gate.Set();
    done.Wait();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(app->IsWorkerRunning());
    app->Release();
}

// Clips leave the list with their description in the format other programs know it by.
TEST_F(AppTest, RegistersTheClipDescriptionFormat) {
    auto* app = new TC_App();
    EXPECT_NE(app->ClipDragFormat(), 0u);
    EXPECT_EQ(TB_ClipboardFormatMimeType(app->ClipDragFormat()), "application/x-tc-voice-lib-data");
    app->Release();
}

TEST_F(AppTest, ItemsStillQueuedAtStopAreReleasedUnprocessed) {
    auto* app = new TC_App();
    std::vector<int> order;
    std::mutex lock;
    TB_EventAutoReset gate, entered;
    RecordingTask::s_destroyed = 0;
    // The running item asks the worker to stop; the three behind it must never run.
    app->QueueTask(
        new RecordingTask(0, &order, &lock, &gate, &entered, [app] { app->RequestWorkerStop(); }));
    entered.Wait();
    for (int id = 1; id <= 3; ++id) {
        app->QueueTask(new RecordingTask(id, &order, &lock));
    }
    gate.Set();
    app->Release();
    EXPECT_EQ(order, (std::vector<int>{0}));
    EXPECT_EQ(RecordingTask::s_destroyed.load(), 4);
}

TEST_F(AppTest, ShutdownKeepsTheFiftyNewestLogs) {
    auto* app = new TC_App();
    for (int day = 1; day <= 60; ++day) {
        char name[64];
        std::snprintf(name, sizeof name, "errorlogs/error_2025%02d%02d.txt", 1 + (day - 1) / 28,
                      1 + (day - 1) % 28);
        WriteFile(DataPath(name), "x");
    }
    app->Release();
    size_t left = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(DataPath("errorlogs"))) {
        ++left;
    }
    EXPECT_EQ(left, 50u);
    EXPECT_FALSE(fs::exists(DataPath("errorlogs/error_20250110.txt")));
    EXPECT_TRUE(fs::exists(DataPath("errorlogs/error_20250111.txt")));
}

}  // namespace
