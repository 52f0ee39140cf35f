#pragma once

#include <rapidjson/filewritestream.h>
#include <rapidjson/prettywriter.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tb_inspectable.h"

using LV_JsonWriter = rapidjson::PrettyWriter<rapidjson::FileWriteStream>;

// Writes reported properties straight to a JSON writer, in the order they are reported,
// without building a document. The visitor interface has no end call, so an object or list
// stays open until a property is reported to a visitor that encloses it, or until Close.
// Just before an item of a list is closed, the item hook may add members to it.
class LV_JsonVisitor : public TB_IPropertyVisitor {
public:
    // Where an item stands: the name of its list and its index there.
    struct Place {
        std::string_view List;
        tb_int Index;
    };
    // Called with the item's visitor and the places from the outermost list to the item;
    // it may write plain values to the item, but open no object or list in it.
    using ItemHook = std::function<void(LV_JsonVisitor& item, const std::vector<Place>& places)>;

    // Starts a list on the writer, whose key the caller has written; Close ends it.
    LV_JsonVisitor(LV_JsonWriter& writer, const std::string& listName, ItemHook hook);
    LV_JsonVisitor(const LV_JsonVisitor&) = delete;
    LV_JsonVisitor& operator=(const LV_JsonVisitor&) = delete;
    ~LV_JsonVisitor() override;

    // Closes everything this visitor opened, itself included.
    void Close();

    void WriteString(const TB_String& name, const TB_String& text) override;
    void WriteColor(const TB_String& name, const TB_Color& color) override;
    void WriteInt2(const TB_String& name, tb_int first, tb_int second) override;
    void WriteRectangle(const TB_String& name, const TB_Rectangle<float>& rectangle) override;
    void WriteNull(const TB_String& name) override;
    void WriteInt64(const TB_String& name, tb_int64 value) override;
    void WriteReal(const TB_String& name, double value) override;
    void WriteInt(const TB_String& name, tb_int value) override;
    void WriteBool(const TB_String& name, bool value) override;
    // The visitors returned stay valid as long as this one; a visitor stands for the
    // newest object or list at its depth.
    TB_IPropertyVisitor& AddItem() override;
    TB_IPropertyVisitor& BeginList(const TB_String& name) override;

    // Text as a JSON string: UTF-8, escaped file-name bytes as the JSON escapes of their
    // units (as in the program's own files).
    static void WriteText(LV_JsonWriter& writer, const TB_String& text);

private:
    struct Shared;
    LV_JsonVisitor(Shared* shared, size_t depth);
    // Closes the open levels below this visitor, then writes the key when it is an object.
    void Prepare(const TB_String& name);
    void CloseBelow(size_t depth);
    LV_JsonVisitor& Open(bool array, std::string listName);

    Shared* m_shared;
    size_t m_depth;
};
