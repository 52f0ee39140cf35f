#pragma once

#include "tb_list.h"
#include "tb_string.h"

// A file or folder location kept as a URI text (forward slashes, "scheme://rest") together
// with its operating-system path (the text after "://") and its lower-case extension.
// Path and extension are recomputed whenever the URI text changes.
class TB_Uri : public TB_Object {
public:
    TB_Uri() = default;
    // SetUri, then Normalize.
    explicit TB_Uri(const TB_String& text);
    explicit TB_Uri(const tb_char* text);
    TB_Uri(const TB_Uri& other);
    TB_Uri& operator=(const TB_Uri& other);

    void SetUri(const TB_String& text);
    // Takes over the other's URI text without normalising.
    void Assign(const TB_Uri& other);

    const TB_String& GetScheme() const { return m_scheme; }
    const TB_String& GetUri() const { return m_uri; }
    const TB_String& GetPath() const { return m_path; }
    const TB_String& GetExtension() const { return m_extension; }
    void GetFileName(TB_String& name) const;
    void GetFileNameWithoutExtension(TB_String& name) const;
    void GetParent(TB_Uri& parent) const;
    // The relative path from base to this location; false when the schemes differ. Empty
    // segments (a trailing slash, doubled slashes) count for nothing.
    bool MakeRelative(const TB_Uri& base, TB_String& relative) const;

    void Append(const TB_String& segment);
    // Drops empty and "." segments and resolves ".." steps; ".." at the root of an absolute
    // path stays there, and a relative path that climbs above its start becomes empty.
    void Normalize();
    // True when Normalize would leave the text as it is.
    bool IsNormalized() const;
    // True when appending the relative path to a normalised location gives a normalised
    // location: no empty, "." or ".." segment and no backslash.
    static bool IsPlainRelative(std::u16string_view path);

    // File-system operations on the operating-system path. IsFile: a regular file (or a link
    // to one); a pipe, a socket or a device is nothing a file can be read from.
    bool IsFile() const;
    bool IsDirectory() const;
    // Appends a new TB_Uri per file; the list owns them (release with TB_ReleaseAll).
    void ListFiles(TB_List<TB_Uri*>& list, bool recursive) const;
    void ListDirectories(TB_List<TB_Uri*>& list) const;
    // Creates every missing folder along the path; always true (failures are not reported).
    bool CreateDirectories() const;

    // Well-known folders; each leaves the target unchanged when the folder is unknown.
    static void SetToModuleFolder(TB_Uri& uri);
    static void SetToDocumentsFolder(TB_Uri& uri);
    static void SetToLocalAppDataFolder(TB_Uri& uri);

private:
    void Recompute();

    TB_String m_scheme;
    TB_String m_uri;
    TB_String m_path;
    TB_String m_extension;
};
