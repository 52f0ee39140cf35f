#include "tb_dropdata.h"

#include <cctype>
#include <map>
#include <mutex>

#include "tb_platform.h"
#include "tb_widget.h"

namespace {

std::mutex g_formatLock;
std::map<std::string, tb_uint>& FormatNumbers() {
    static std::map<std::string, tb_uint> numbers;
    return numbers;
}
std::map<tb_uint, std::string>& FormatNames() {
    static std::map<tb_uint, std::string> names;
    return names;
}

void PutUnit(std::vector<tb_byte>& block, char16_t unit) {
    block.push_back(static_cast<tb_byte>(unit & 0xFF));
    block.push_back(static_cast<tb_byte>(unit >> 8));
}

void PutInt(std::vector<tb_byte>& block, tb_uint value) {
    for (int i = 0; i < 4; ++i) {
        block.push_back(static_cast<tb_byte>((value >> (8 * i)) & 0xFF));
    }
}

}  // namespace

tb_uint TB_RegisterClipboardFormat(const std::string& name) {
    std::lock_guard<std::mutex> guard(g_formatLock);
    auto found = FormatNumbers().find(name);
    if (found != FormatNumbers().end()) {
        return found->second;
    }
    auto number = static_cast<tb_uint>(0xC000 + FormatNumbers().size());
    FormatNumbers()[name] = number;
    FormatNames()[number] = name;
    return number;
}

std::string TB_ClipboardFormatName(tb_uint format) {
    std::lock_guard<std::mutex> guard(g_formatLock);
    auto found = FormatNames().find(format);
    return found == FormatNames().end() ? std::string() : found->second;
}

std::string TB_ClipboardFormatMimeType(tb_uint format) {
    if (format == TB_CF_HDROP) {
        return "text/uri-list";
    }
    if (format == TB_CF_UNICODETEXT) {
        return "text/plain;charset=utf-8";
    }
    std::string name = TB_ClipboardFormatName(format);
    if (name.empty()) {
        return std::string();
    }
    std::string type = "application/x-";
    for (char c : name) {
        type += c == ' ' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return type;
}

tb_uint TB_ClipboardFormatOfMimeType(const std::string& mimeType) {
    if (mimeType == "text/uri-list") {
        return TB_CF_HDROP;
    }
    if (mimeType == "text/plain;charset=utf-8" || mimeType == "text/plain") {
        return TB_CF_UNICODETEXT;
    }
    std::vector<tb_uint> numbers;
    {
        std::lock_guard<std::mutex> guard(g_formatLock);
        for (const auto& [number, name] : FormatNames()) {
            numbers.push_back(number);
        }
    }
    for (tb_uint number : numbers) {
        if (TB_ClipboardFormatMimeType(number) == mimeType) {
            return number;
        }
    }
    return 0;
}

// ---- TB_DropData ----

TB_DropData::~TB_DropData() {
    TB_ReleaseAll(Strings);
    if (DragImage) {
        DragImage->Release();
    }
}

bool TB_DropData::SetFiles(const TB_List<TB_Uri*>& uris) {
    Format = TB_CF_HDROP;
    Data.clear();
    PutInt(Data, 20);  // where the file list starts
    PutInt(Data, 0);   // the drop point
    PutInt(Data, 0);
    PutInt(Data, 0);  // not in the non-client area
    PutInt(Data, 1);  // wide characters
    for (TB_Uri* uri : uris) {
        TB_String path = uri->GetPath();
        for (tb_int i = 0; i < path.Length(); ++i) {
            PutUnit(Data, path[i]);
        }
        PutUnit(Data, 0);
    }
    PutUnit(Data, 0);
    return true;
}

std::vector<std::string> TB_DropData::FilesOf(const std::vector<tb_byte>& block) {
    std::vector<std::string> files;
    if (block.size() < 20) {
        return files;
    }
    size_t offset =
        block[0] | (block[1] << 8) | (block[2] << 16) | (static_cast<size_t>(block[3]) << 24);
    std::u16string path;
    for (size_t i = offset; i + 1 < block.size(); i += 2) {
        auto unit = static_cast<char16_t>(block[i] | (block[i + 1] << 8));
        if (unit != 0) {
            path += unit;
            continue;
        }
        if (path.empty()) {
            break;  // the second zero ends the list
        }
        TB_String text(path.c_str(), static_cast<tb_int>(path.size()));
        files.push_back(text.ToStdString());
        path.clear();
    }
    return files;
}

// ---- TB_DataObject ----

void TB_DataObject::SetData(tb_uint format, std::vector<tb_byte> data) {
    for (Entry& entry : m_entries) {
        if (entry.Format == format) {
            entry.Data = std::move(data);
            return;
        }
    }
    m_entries.push_back(Entry{format, std::move(data)});
}

const std::vector<tb_byte>* TB_DataObject::GetData(tb_uint format) const {
    for (const Entry& entry : m_entries) {
        if (entry.Format == format) {
            return &entry.Data;
        }
    }
    return nullptr;
}

bool TB_DataObject::Next(tb_uint& format) {
    if (m_position >= m_entries.size()) {
        return false;
    }
    format = m_entries[m_position++].Format;
    return true;
}

void TB_CopyTextToClipboard(TB_Widget* widget) {
    // An empty text would only wipe what the clipboard holds.
    if (widget && !widget->GetText().IsEmpty()) {
        TB_GetPlatform().SetClipboardText(widget->GetText());
    }
}
