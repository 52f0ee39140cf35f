#include "tc_app.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "tb_dropdata.h"
#include "tb_error.h"
#include "tb_filestream.h"
#include "tb_framework.h"
#include "tc_builtinicons.h"
#include "tc_voiceloader.h"

namespace {

TC_App* g_app = nullptr;

// The data folder is only ever made at an absolute place, never below the working folder.
void CreateFolder(const TB_Uri& folder) {
    if (folder.GetPath().Length() > 0 && folder.GetPath()[0] == u'/' && !folder.IsDirectory()) {
        folder.CreateDirectories();
    }
}

}  // namespace

TC_App::TC_App()
    : m_defaultThumbnail(new TB_MemoryStream(
          TC_VoiceLoader::DefaultThumbnailPng(),
          static_cast<tb_int64>(TC_VoiceLoader::DefaultThumbnailPngSize()), false)) {
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    TB_Uri dataFolder;
    GetDataFolder(dataFolder);
    CreateFolder(dataFolder);
    TB_Uri logFolder;
    GetDataFile(u"errorlogs", logFolder);
    CreateFolder(logFolder);
    if (logFolder.IsDirectory()) {
        TB_Error::SetLogFolder(logFolder);
    }
    TB_Uri settingsFile;
    GetDataFile(u"setting.json", settingsFile);
    if (!settingsFile.GetPath().IsEmpty()) {
        // Saves cut short by a kill leave their temporary files behind; they are ours to remove.
        TB_RemoveStaleTemporaries(settingsFile);
        TB_Uri index;
        GetDataFile(u"voice-libs.json", index);
        TB_RemoveStaleTemporaries(index);
        m_settings.Load(settingsFile);
    }
    if (TC_SettingParam* boots = m_settings.FindParameter(u"NumberOfBoots")) {
        if (boots->IntValue < std::numeric_limits<tb_int>::max()) {
            boots->IntValue += 1;  // saturates: a hand-edited maximum must not overflow
        }
    }
    // Clips dragged out of the list carry their description in this format.
    m_clipDragFormat = TB_RegisterClipboardFormat("TC Voice Lib Data");
    m_loader = std::make_unique<TC_LibraryLoader>();
    m_workerRun = true;
    m_worker = new TB_ThreadEx<TC_App>(this, &TC_App::WorkerLoop);
    m_worker->Start();
}

TC_App::~TC_App() {
    m_soundInfo.reset();  // its thread ends before the media platform does
    m_loader->Stop();     // a read not finished is dropped; the libraries stay as listed
    if (m_voiceLibraries.IsIndexLoaded()) {
        SaveIndex();
    }
    m_voiceLibraries.Clear();
    TB_Uri settingsFile;
    GetDataFile(u"setting.json", settingsFile);
    if (!settingsFile.GetPath().IsEmpty()) {
        m_settings.Save(settingsFile);
    }
    StopWorker();
    for (TB_SvgRenderer*& icon : m_icons) {
        if (icon) {
            icon->Release();
            icon = nullptr;
        }
    }
    TB_Error::PruneLogFiles();
    m_defaultThumbnail->Release();
    if (g_app == this) {
        g_app = nullptr;
    }
}

void TC_App::CreateIcons() {
    static const TC_BuiltinIcon kIcons[6] = {TC_BuiltinIcon::Filter, TC_BuiltinIcon::Cog,
                                             TC_BuiltinIcon::Times,  TC_BuiltinIcon::Star,
                                             TC_BuiltinIcon::Play,   TC_BuiltinIcon::Pause};
    for (int i = 0; i < 6; ++i) {
        if (!m_icons[i]) {
            m_icons[i] = new TB_SvgRenderer();
            m_icons[i]->LoadText(TC_BuiltinIconText(kIcons[i]));
        }
    }
}

TC_App* TC_App::Instance() {
    return g_app;
}

void TC_App::SetInstance(TC_App* app) {
    g_app = app;
}

TC_SoundInfo& TC_App::SoundInfo() {
    if (!m_soundInfo) {
        m_soundInfo = std::make_unique<TC_SoundInfo>(TC_SoundInfo::DefaultCacheFolder());
    }
    return *m_soundInfo;
}

void TC_App::GetDataFolder(TB_Uri& uri) const {
    TB_Uri folder;
    TB_Uri::SetToLocalAppDataFolder(folder);
    if (folder.GetPath().IsEmpty()) {
        uri = TB_Uri();
        return;
    }
    folder.Append(TB_String(TB_GetAppName()));
    uri = folder;
}

void TC_App::GetDataFile(const tb_char* name, TB_Uri& uri) const {
    GetDataFolder(uri);
    if (!uri.GetPath().IsEmpty()) {
        uri.Append(TB_String(name));
    }
}

void TC_App::ResetEnvironment() {
    TB_String language = m_settings.GetText(u"Language");
    {
        auto defaults = TB_Ref<TC_AppSettings>::Adopt(new TC_AppSettings());
        m_settings.CopyFrom(*defaults);
    }
    m_settings.SetText(u"Language", language);
    m_voiceLibraries.Clear();
    TB_Uri index;
    GetDataFile(u"voice-libs.json", index);
    if (!index.GetPath().IsEmpty()) {
        std::remove(index.GetPath().ToStdString().c_str());
    }
}

void TC_App::LoadIndex(bool background) {
    TB_Uri index;
    GetDataFile(u"voice-libs.json", index);
    m_voiceLibraries.LoadIndex(index, m_defaultThumbnail, true, background);
    if (background) {
        m_loader->Hold(true);  // until the window has been painted
        for (TC_VoiceLibrary* library : m_voiceLibraries.Libraries()) {
            QueueLoad(library, TC_LoadReason::Start);
        }
    }
}

void TC_App::QueueLoad(TC_VoiceLibrary* library, TC_LoadReason reason, bool urgent) {
    m_loader->Queue(library, reason, m_voiceLibraries.KeptFavourites(), urgent);
}

bool TC_App::SaveIndex() {
    TB_Uri index;
    GetDataFile(u"voice-libs.json", index);
    return !index.GetPath().IsEmpty() && m_voiceLibraries.SaveIndex(index);
}

bool TC_App::AddLibrary(TC_VoiceLibrary* library, TB_Widget* owner) {
    return m_voiceLibraries.AddLibrary(library, m_defaultThumbnail, owner);
}

void TC_App::QueueTask(TC_DownloadTask* task) {
    m_workerLock.Lock();
    m_tasks.Add(task);
    m_workerLock.Unlock();
    m_workerEvent.Set();
}

tb_int TC_App::QueuedTaskCount() {
    TB_LockGuard guard(m_workerLock);
    return m_tasks.Count();
}

void TC_App::WorkerLoop(TB_ThreadArgs*) {
    for (;;) {
        m_workerEvent.Wait();
        TC_DownloadTask* task = nullptr;
        m_workerLock.Lock();
        bool run = m_workerRun;
        if (run && m_tasks.Count() > 0) {
            task = m_tasks[0];
            m_tasks.RemoveAt(0);
        }
        m_workerLock.Unlock();
        if (!run) {
            break;
        }
        if (task) {
            task->Run();
            task->Release();
        }
        m_workerLock.Lock();
        // An event does not count signals: wake ourselves again while items remain.
        if (m_tasks.Count() > 0) {
            m_workerEvent.Set();
        }
        m_workerLock.Unlock();
    }
    m_workerLock.Lock();
    TB_ReleaseAll(m_tasks);
    m_workerLock.Unlock();
}

void TC_App::RequestWorkerStop() {
    m_workerLock.Lock();
    m_workerRun = false;
    m_workerLock.Unlock();
    m_workerEvent.Set();
}

void TC_App::StopWorker() {
    if (!m_worker) {
        return;
    }
    RequestWorkerStop();
    m_worker->Join();
    m_worker->Release();
    m_worker = nullptr;
}

TC_App* TC_LibraryStartup() {
    TB_DebugPrint(u"RuviredareVod\t : %S", u"1.4.0.0");
    auto* app = new TC_App();
    TC_App::SetInstance(app);
    return app;
}

void TC_LibraryShutdown() {
    if (TC_App* app = TC_App::Instance()) {
        app->Release();
    }
}
