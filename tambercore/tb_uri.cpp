#include "tb_uri.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Text = std::u16string;

Text ToText(const TB_String& s) {
    return Text(s.View());
}
TB_String FromText(const Text& t) {
    return TB_String(t.c_str(), static_cast<tb_int>(t.size()));
}

std::vector<Text> SplitAtSlashes(const Text& text) {
    std::vector<Text> segments;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == u'/') {
            segments.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return segments;
}

Text Join(const std::vector<Text>& segments, size_t from) {
    Text joined;
    for (size_t i = from; i < segments.size(); ++i) {
        if (i > from) {
            joined.push_back(u'/');
        }
        joined += segments[i];
    }
    return joined;
}

// Only absolute folders are taken from the environment: a relative one would put the
// user's data under whatever the working directory happens to be.
bool IsAbsolute(const char* path) {
    return path && path[0] == '/';
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (IsAbsolute(home)) {
        return home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry && IsAbsolute(entry->pw_dir)) {
        return entry->pw_dir;
    }
    return {};
}

void SetFromNativePath(TB_Uri& uri, const std::string& path) {
    if (!path.empty()) {
        uri.SetUri(TB_TextFromNative(path.c_str(), static_cast<tb_int64>(path.size())));
    }
}

}  // namespace

TB_Uri::TB_Uri(const TB_String& text) {
    SetUri(text);
    Normalize();
}

TB_Uri::TB_Uri(const tb_char* text) : TB_Uri(TB_String(text)) {}

TB_Uri::TB_Uri(const TB_Uri& other)
    : TB_Object(other),
      m_scheme(other.m_scheme),
      m_uri(other.m_uri),
      m_path(other.m_path),
      m_extension(other.m_extension) {}

TB_Uri& TB_Uri::operator=(const TB_Uri& other) {
    Assign(other);
    return *this;
}

void TB_Uri::SetUri(const TB_String& text) {
    Text source = ToText(text);
    size_t marker = source.find(u"://");
    Text copy = source;
    for (tb_char& c : copy) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    if (marker == Text::npos) {
        m_scheme = u"file";
        m_uri = FromText(u"file://" + copy);
    } else {
        m_scheme = FromText(copy.substr(0, marker));
        m_uri = FromText(copy);
    }
    Recompute();
}

void TB_Uri::Assign(const TB_Uri& other) {
    if (this == &other) {
        return;
    }
    // Copies the fields: the same as SetUri of the other's text, except that an empty
    // location stays empty instead of becoming "file://".
    m_scheme = other.m_scheme;
    m_uri = other.m_uri;
    m_path = other.m_path;
    m_extension = other.m_extension;
}

void TB_Uri::Recompute() {
    Text uri = ToText(m_uri);
    size_t marker = uri.find(u"://");
    // The platform path keeps forward slashes: it is the text after "://" as it is.
    m_path = marker == Text::npos ? FromText(uri) : FromText(uri.substr(marker + 3));
    size_t dot = uri.rfind(u'.');
    Text extension = dot == Text::npos ? Text() : uri.substr(dot + 1);
    for (tb_char& c : extension) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<tb_char>(c - u'A' + u'a');
        }
    }
    m_extension = FromText(extension);
}

void TB_Uri::GetFileName(TB_String& name) const {
    Text uri = ToText(m_uri);
    size_t slash = uri.rfind(u'/');
    name = FromText(slash == Text::npos ? uri : uri.substr(slash + 1));
}

void TB_Uri::GetFileNameWithoutExtension(TB_String& name) const {
    GetFileName(name);
    tb_int n = name.Length() - m_extension.Length();
    if (!m_extension.IsEmpty() && n > 0) {
        name = TB_String(name.Chars(), n - 1);
    }
}

void TB_Uri::GetParent(TB_Uri& parent) const {
    Text uri = ToText(m_uri);
    size_t slash = uri.rfind(u'/');
    if (slash == Text::npos) {
        parent.Assign(*this);
        return;
    }
    size_t minimum = static_cast<size_t>(m_scheme.Length()) + 3;
    Text cut = uri.substr(0, slash < minimum ? minimum : slash);
    // The parent of a top-level entry of an absolute path is the root folder, not nothing.
    if (cut.size() == minimum && m_path.Length() > 1 && m_path[0] == u'/') {
        cut.push_back(u'/');
    }
    TB_Uri result{FromText(cut)};
    parent.Assign(result);
}

bool TB_Uri::MakeRelative(const TB_Uri& base, TB_String& relative) const {
    if (!m_scheme.Equals(base.m_scheme)) {
        return false;
    }
    // Empty segments name no folder: a base written with a trailing slash, or the root
    // folder itself, must not add a step up.
    std::vector<Text> mine = SplitAtSlashes(ToText(m_path));
    std::vector<Text> theirs = SplitAtSlashes(ToText(base.m_path));
    std::erase(mine, Text());
    std::erase(theirs, Text());
    size_t common = 0;
    while (common < mine.size() && common < theirs.size() && mine[common] == theirs[common]) {
        ++common;
    }
    Text result;
    for (size_t i = common; i < theirs.size(); ++i) {
        result += u"../";
    }
    result += Join(mine, common);
    relative = FromText(result);
    return true;
}

void TB_Uri::Append(const TB_String& segment) {
    if (m_uri.IsEmpty() || m_path.IsEmpty()) {
        SetUri(segment);
        return;
    }
    Text uri = ToText(m_uri);
    if (uri.back() != u'/') {
        uri.push_back(u'/');
    }
    uri += ToText(segment);
    m_uri = FromText(uri);
    Recompute();
}

void TB_Uri::Normalize() {
    std::u16string_view uri = m_uri.View();
    size_t marker = uri.find(u"://");
    if (marker == std::u16string_view::npos) {
        SetUri(m_uri);  // not a location text yet: SetUri makes one
        uri = m_uri.View();
        marker = uri.find(u"://");
    }
    Text rest(uri.substr(marker + 3));
    for (tb_char& c : rest) {
        if (c == u'\\') {
            c = u'/';
        }
    }
    // As POSIX resolves paths: empty and "." segments name the same folder, ".." at the root
    // stays at the root. Only a relative path can climb above its start, which empties it.
    bool absolute = !rest.empty() && rest[0] == u'/';
    std::vector<Text> kept;
    for (Text& segment : SplitAtSlashes(rest)) {
        if (segment.empty() || segment == u".") {
            continue;
        }
        if (segment == u"..") {
            if (!kept.empty()) {
                kept.pop_back();
            } else if (!absolute) {
                SetUri(TB_String());
                return;
            }
            continue;
        }
        kept.push_back(std::move(segment));
    }
    Text result(uri.substr(0, marker + 3));
    if (absolute) {
        result.push_back(u'/');
    }
    result += Join(kept, 0);
    m_uri = FromText(result);
    Recompute();
}

bool TB_Uri::IsNormalized() const {
    std::u16string_view uri = m_uri.View();
    size_t marker = uri.find(u"://");
    if (marker == std::u16string_view::npos) {
        return false;
    }
    std::u16string_view rest = uri.substr(marker + 3);
    if (rest.empty() || rest == u"/") {
        return true;
    }
    return IsPlainRelative(rest[0] == u'/' ? rest.substr(1) : rest);
}

bool TB_Uri::IsPlainRelative(std::u16string_view path) {
    size_t start = 0;
    while (true) {
        size_t slash = path.find(u'/', start);
        std::u16string_view segment =
            path.substr(start, slash == std::u16string_view::npos ? slash : slash - start);
        if (segment.empty() || segment == u"." || segment == u".." ||
            segment.find(u'\\') != std::u16string_view::npos) {
            return false;
        }
        if (slash == std::u16string_view::npos) {
            return true;
        }
        start = slash + 1;
    }
}

void TB_Uri::SetToModuleFolder(TB_Uri& uri) {
    std::vector<char> buffer(4096);
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return;
    }
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        path.resize(slash);
    }
    SetFromNativePath(uri, path);
}

void TB_Uri::SetToDocumentsFolder(TB_Uri& uri) {
    std::string home = HomeFolder();
    if (home.empty()) {
        return;
    }
    // The XDG user-dirs file names the documents folder, relative to $HOME when it says so.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string dirsFile =
        (IsAbsolute(config) ? std::string(config) : home + "/.config") + "/user-dirs.dirs";
    // Read only when it is a regular file: a pipe there would block the start.
    struct stat info;
    std::ifstream in;
    if (::stat(dirsFile.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        in.open(dirsFile);
    }
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_DOCUMENTS_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        }
        if (IsAbsolute(value.c_str()) && value != home && value != home + "/") {
            SetFromNativePath(uri, value);
            return;
        }
    }
    SetFromNativePath(uri, home + "/Documents");
}

void TB_Uri::SetToLocalAppDataFolder(TB_Uri& uri) {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (IsAbsolute(dataHome)) {
        SetFromNativePath(uri, dataHome);
        return;
    }
    std::string home = HomeFolder();
    if (!home.empty()) {
        SetFromNativePath(uri, home + "/.local/share");
    }
}
