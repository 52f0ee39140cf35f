#pragma once

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <deque>
#include <memory>

#include "tb_inspectable.h"

using TB_JsonTextWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// Writes reported properties straight into a JSON writer, in one pass and without a document:
// each list and each list element is a node that stays open until something is written at
// its own level or above, which closes it. Colours are [r, g, b, a], rectangles and pairs
// arrays. The caller starts the object the root stands for and calls Finish before ending it.
class TB_JsonPropertyWriter : public TB_IPropertyVisitor {
public:
    explicit TB_JsonPropertyWriter(TB_JsonTextWriter& writer);

    void WriteString(const TB_String& name, const TB_String& text) override;
    void WriteColor(const TB_String& name, const TB_Color& color) override;
    void WriteInt2(const TB_String& name, tb_int first, tb_int second) override;
    void WriteRectangle(const TB_String& name, const TB_Rectangle<float>& rectangle) override;
    void WriteNull(const TB_String& name) override;
    void WriteInt64(const TB_String& name, tb_int64 value) override;
    void WriteReal(const TB_String& name, double value) override;
    void WriteInt(const TB_String& name, tb_int value) override;
    void WriteBool(const TB_String& name, bool value) override;
    TB_IPropertyVisitor& AddItem() override;
    TB_IPropertyVisitor& BeginList(const TB_String& name) override;

    // Closes every list and element still open below the root.
    void Finish();

    // Text as a JSON string.
    static void String(TB_JsonTextWriter& writer, const TB_String& text);

private:
    struct Shared {
        TB_JsonTextWriter& writer;
        std::deque<TB_JsonPropertyWriter> nodes;  // stable addresses
        std::deque<TB_JsonPropertyWriter*> open;  // innermost last
    };
    TB_JsonPropertyWriter(Shared* shared, int depth, bool isList);
    // Closes what is open deeper than this node, then writes the name (in an object).
    void Begin(const TB_String& name);
    void CloseDeeper();

    Shared* m_shared;
    std::unique_ptr<Shared> m_ownShared;  // the root's
    int m_depth;
    bool m_isList;
};

// A visitor that drops everything it is told (for the parts of a report a caller skips).
class TB_NullPropertyVisitor : public TB_IPropertyVisitor {
public:
    void WriteString(const TB_String&, const TB_String&) override {}
    void WriteColor(const TB_String&, const TB_Color&) override {}
    void WriteInt2(const TB_String&, tb_int, tb_int) override {}
    void WriteRectangle(const TB_String&, const TB_Rectangle<float>&) override {}
    void WriteNull(const TB_String&) override {}
    void WriteInt64(const TB_String&, tb_int64) override {}
    void WriteReal(const TB_String&, double) override {}
    void WriteInt(const TB_String&, tb_int) override {}
    void WriteBool(const TB_String&, bool) override {}
    TB_IPropertyVisitor& AddItem() override { return *this; }
    TB_IPropertyVisitor& BeginList(const TB_String&) override { return *this; }
};
