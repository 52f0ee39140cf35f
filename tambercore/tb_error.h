#pragma once

#include "tb_string.h"
#include "tb_uri.h"

// The base name of the current source file, for reports.
#define TB_SOURCE_NAME __FILE_NAME__

// One recorded failure. Records are kept by the process-wide record list (the last 50 to
// 100 of them) and appended to the day's UTF-16LE log file in the log folder.
class TB_Error : public TB_Object {
public:
    TB_Error(tb_int level, tb_int code, const tb_char* message, const char* file, tb_int line);

    tb_int Level() const { return m_level; }
    tb_int Code() const { return m_code; }
    const TB_String& Message() const { return m_message; }
    const TB_String& Source() const { return m_source; }

    // Creates the record list when it does not exist.
    static void Init();
    static bool IsInitialized();
    // Releases every record, the list and the descriptions (framework shutdown).
    static void Shutdown();

    // Safe from any thread: one lock covers the record list and the file append. The
    // returned record stays owned by the list (before Init nobody holds it).
    static TB_Error* Report(tb_int level, tb_int code, const tb_char* message, const char* file,
                            tb_int line);
    static TB_Error* ReportFailedCheck(const char* file, tb_int line);

    static void RegisterDescription(tb_int level, tb_int code, const TB_String& description);
    // The registered description, or null after recording a level 1, code 1001 report.
    static const TB_String* FindDescription(tb_int level, tb_int code);

    static void SetLogFolder(const TB_Uri& folder);
    static TB_Uri GetLogFolder();
    // Deletes every file of the log folder (nested ones too) after the 50 greatest names.
    static void PruneLogFiles();

    static tb_int RecordCount();
    // The record at index (oldest first) with one more count, or null.
    static TB_Error* CopyRecord(tb_int index);

private:
    tb_int m_level;
    tb_int m_code;
    TB_String m_message;
    TB_String m_source;
};

// Formats with the framework formatter and prints the line on standard output (UTF-8).
void TB_DebugPrint(const tb_char* format, ...);
