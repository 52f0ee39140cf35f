#pragma once

#include <functional>
#include <string>

// How a request to show a file ended.
enum class TB_RevealResult {
    Service,  // the file manager service took it
    Folder,   // no service answered; the folder was handed to the desktop's default handler
    Failed,   // neither: nothing on this desktop could show it
};

// Shows a file in the desktop's file manager with the file selected, through the
// org.freedesktop.FileManager1 service on the session bus; where no such service answers,
// the folder holding it is opened with the desktop's default handler. The path travels only
// as a D-Bus argument or a URL, never through a shell. Returns at once; done (when given)
// runs later on the GUI thread with the result. False when there is no GUI or the path is
// empty (done is not called then).
bool TB_ShowInFileManager(const std::string& path, std::function<void(TB_RevealResult)> done = {});

// Opens a URL (a web page, a local file URL) with the desktop's default handler; false when
// there is no GUI or the handler refused.
bool TB_OpenUrl(const std::string& url);
// Opens a local file (a path, with an optional "#fragment") in the desktop's default handler.
bool TB_OpenFile(const std::string& path, const std::string& fragment = std::string());
