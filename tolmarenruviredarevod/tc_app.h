#pragma once

#include <memory>

#include "tb_criticalsection.h"
#include "tb_eventwaithandle.h"
#include "tb_list.h"
#include "tb_memorystream.h"
#include "tb_svg.h"
#include "tb_thread.h"
#include "tb_uri.h"
#include "tc_app_voice_lib.h"
#include "tc_libraryloader.h"
#include "tc_settings.h"
#include "tc_soundinfo.h"

// A unit of work for the application's worker thread; the application queues none of its
// own, the queue exists for the download service.
class TC_DownloadTask : public TB_Object {
public:
    virtual void Run() {}
};

// The one application object: owns what outlives a main window (settings, the library
// list, the data folders, the worker thread). Reached through TC_App::Instance().
class TC_App : public TB_CriticalSection {
public:
    TC_App();
    TC_App(const TC_App&) = delete;
    TC_App& operator=(const TC_App&) = delete;
    ~TC_App() override;

    static TC_App* Instance();
    static void SetInstance(TC_App* app);

    // (local application data)/(application name); empty when that folder is unknown.
    void GetDataFolder(TB_Uri& uri) const;
    void GetDataFile(const tb_char* name, TB_Uri& uri) const;

    // Hands a task (and the caller's count) to the worker.
    void QueueTask(TC_DownloadTask* task);
    tb_int QueuedTaskCount();
    // Clears the worker's run flag and wakes it; tasks still queued are then released
    // unprocessed. The destructor also waits for the worker to end.
    void RequestWorkerStop();
    bool IsWorkerRunning() const { return m_worker && m_worker->IsRunning(); }

    tb_uint ClipDragFormat() const { return m_clipDragFormat; }

    TC_AppSettings& Settings() { return m_settings; }
    // Outlines and lengths of clips, kept in the user's cache folder; made at first use.
    TC_SoundInfo& SoundInfo();

    TC_VoiceLibraryList& VoiceLibraries() { return m_voiceLibraries; }
    // Loads and saves the data folder's voice-libs.json. In the background, the entries are
    // listed at once and their clips read by the loader, in order.
    void LoadIndex(bool background = false);
    // Reads libraries on a thread of its own.
    TC_LibraryLoader& Loader() { return *m_loader; }
    // Sends the library to the loader with every kept favourite it may take.
    void QueueLoad(TC_VoiceLibrary* library, TC_LoadReason reason, bool urgent = false);
    bool SaveIndex();
    bool AddLibrary(TC_VoiceLibrary* library, TB_Widget* owner = nullptr);
    // A stream over the built-in thumbnail PNG.
    TB_Stream* DefaultThumbnailStream() { return m_defaultThumbnail; }
    // The six shared icons, drawn in the graphics' brush; made by CreateIcons, null before.
    TB_SvgRenderer* FilterIcon() const { return m_icons[0]; }
    TB_SvgRenderer* CogIcon() const { return m_icons[1]; }
    TB_SvgRenderer* TimesIcon() const { return m_icons[2]; }
    TB_SvgRenderer* StarIcon() const { return m_icons[3]; }
    TB_SvgRenderer* PlayIcon() const { return m_icons[4]; }
    TB_SvgRenderer* PauseIcon() const { return m_icons[5]; }
    // Reads the six shared icons from their built-in texts (once).
    void CreateIcons();
    // Restores every setting but "Language" to its default, forgets the libraries and
    // deletes the library index, so the next start begins afresh.
    void ResetEnvironment();

private:
    void WorkerLoop(TB_ThreadArgs* args);
    void StopWorker();

    TC_AppSettings m_settings;
    TC_VoiceLibraryList m_voiceLibraries;
    TB_MemoryStream* m_defaultThumbnail;
    tb_uint m_clipDragFormat = 0;
    TB_CriticalSection m_workerLock;
    TB_EventAutoReset m_workerEvent;
    bool m_workerRun = false;
    TB_List<TC_DownloadTask*> m_tasks;
    TB_ThreadEx<TC_App>* m_worker = nullptr;
    TB_SvgRenderer* m_icons[6] = {};
    std::unique_ptr<TC_SoundInfo> m_soundInfo;
    std::unique_ptr<TC_LibraryLoader> m_loader;
};

// Prints the library banner and creates the application object (stored as the instance).
TC_App* TC_LibraryStartup();
// Releases the application object.
void TC_LibraryShutdown();
