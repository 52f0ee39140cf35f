#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tb_stream.h"
#include "tb_widget.h"
#include "tc_voicelibrary.h"

// Reads libraries from disk into the model: folder scans, CSV tables, character.ini,
// the exists flags of the clips and thumbnails.
namespace TC_VoiceLoader {

// (Re)loads a library by its type. With checkRoot, a folder library whose root is not an
// existing folder fails without being touched (index reading and imports); a refresh
// passes false and then yields an empty "未分類" category for a vanished folder.
bool LoadLibrary(TC_VoiceLibrary* library, bool checkRoot);
// The CSV branch: root, name and info path come from the table's location. A line with
// fewer than five fields shows a message (owned by owner) and ends the reading.
bool LoadCsvLibrary(TC_VoiceLibrary* library, const TB_Uri& table, TB_Widget* owner = nullptr);
// Sets each clip's exists flag (and those of the sub-libraries).
void UpdateExists(TC_VoiceLibrary* library);
// Finds the thumbnail: thumbnail.png, the table's .png, a group's last sub-library, or the
// built-in image read from defaultImage (may be null).
void LoadThumbnail(TC_VoiceLibrary* library, TB_Stream* defaultImage);

// Splits a line at the separator outside double quotes. Inside quotes the separator is
// text, "\\" gives a backslash and "\n" a line feed. A separator that ends the line adds
// no empty field.
std::vector<TB_String> SplitFields(const TB_String& line, tb_char separator);
// The same without a copy of each field: a field is a view of the line, or of scratch when
// quotes changed it. The views stay valid while line and scratch are left alone. At most
// maxFields fields are made; the rest of the line is not looked at.
void SplitFields(std::u16string_view line, tb_char separator,
                 std::vector<std::u16string_view>& fields, std::u16string& scratch,
                 size_t maxFields = SIZE_MAX);

// The folders and tables a library's clips come from (native paths, the root and the table
// first, whether or not they exist): what to watch for a change. Nothing for a group.
std::vector<std::string> SourcesOf(TC_VoiceLibrary* library);
// Counts every clip the calling thread reads into counter from now on (null stops).
void SetProgressCounter(std::atomic<tb_int>* counter);
// The calling thread's reads stop early, keeping what they read so far, once the flag is set
// (null: they always run to the end).
void SetCancelFlag(const std::atomic<bool>* flag);

// The built-in 256 x 256 thumbnail as PNG bytes.
const unsigned char* DefaultThumbnailPng();
unsigned long DefaultThumbnailPngSize();

}  // namespace TC_VoiceLoader
