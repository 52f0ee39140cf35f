#pragma once

#include <string>
#include <vector>

#include "tb_bitmap32.h"
#include "tb_list.h"
#include "tb_uri.h"

// Clipboard formats: the platform's own numbers, and names registered by the application.
enum : tb_uint { TB_CF_UNICODETEXT = 13, TB_CF_HDROP = 15 };

// A number for a named format, the same for the same name for the life of the process
// (0xC000 and up). Other programs see it under a MIME type made from the name:
// "TC Voice Lib Data" is "application/x-tc-voice-lib-data".
tb_uint TB_RegisterClipboardFormat(const std::string& name);
// The name registered for a number; empty for the platform's own formats.
std::string TB_ClipboardFormatName(tb_uint format);
// The MIME type that carries a format between programs; empty when none does.
std::string TB_ClipboardFormatMimeType(tb_uint format);
// The format carried by a MIME type; 0 for types the program does not know.
tb_uint TB_ClipboardFormatOfMimeType(const std::string& mimeType);

// One piece of what a drag carries: a format and its bytes, and optionally the image shown
// under the pointer while dragging.
class TB_DropData : public TB_Object {
public:
    ~TB_DropData() override;

    // A file list: the platform's file-drop block (a 20-byte header, each path as UTF-16
    // with its terminating zero, one more zero) of the operating-system paths. Always true.
    bool SetFiles(const TB_List<TB_Uri*>& uris);
    // The operating-system paths of a file-drop block, byte for byte.
    static std::vector<std::string> FilesOf(const std::vector<tb_byte>& block);

    tb_uint Format = 0;
    TB_List<TB_String*> Strings;       // owned
    TB_Bitmap32* DragImage = nullptr;  // one count held
    tb_int ImageOffsetX = 0;
    tb_int ImageOffsetY = 0;
    std::vector<tb_byte> Data;  // the payload
};

// The data of a drag: one entry per format, handed to the platform by a drag source and to
// drop handlers by a drop target.
class TB_DataObject : public TB_Object {
public:
    struct Entry {
        tb_uint Format;
        std::vector<tb_byte> Data;
    };

    // Stores the data under its format; data already stored under it is replaced.
    void SetData(tb_uint format, std::vector<tb_byte> data);
    // The data stored under the format, or null.
    const std::vector<tb_byte>* GetData(tb_uint format) const;
    bool QueryGetData(tb_uint format) const { return GetData(format) != nullptr; }
    void Clear() { m_entries.clear(); }
    tb_int Count() const { return static_cast<tb_int>(m_entries.size()); }
    const std::vector<Entry>& Entries() const { return m_entries; }

    // The formats, one per call, from the start after Reset; false at the end.
    bool Next(tb_uint& format);
    void Reset() { m_position = 0; }

private:
    std::vector<Entry> m_entries;
    size_t m_position = 0;
};

// Copies the widget's text to the desktop's clipboard; the text stays there as long as the
// program runs, even after the window closes. An empty text leaves the clipboard alone.
class TB_Widget;
void TB_CopyTextToClipboard(TB_Widget* widget);
