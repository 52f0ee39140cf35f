#pragma once

#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <vector>

#include "tb_inspectable.h"

// Collects reported properties as a JSON object (a list visitor collects an array) in the
// order they are reported. Child visitors keep their place however many properties follow,
// so they stay valid as long as this visitor.
class LV_JsonVisitor : public TB_IPropertyVisitor {
public:
    LV_JsonVisitor() = default;

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

    // Adds an already built value as a member.
    void Write(const std::string& name, rapidjson::Value value);
    // The collected object (or array) as a value of the document's allocator.
    rapidjson::Value ToValue(rapidjson::Document::AllocatorType& allocator);

    // Text as a JSON string value of the allocator.
    static rapidjson::Value ToJson(const TB_String& text,
                                   rapidjson::Document::AllocatorType& allocator);

    // The element visitors of the list reported under name, in order (for additions made
    // after Inspect); empty when there is no such list.
    std::vector<LV_JsonVisitor*> Items(const std::string& name);

private:
    struct Member {
        std::string name;                       // empty for array elements
        rapidjson::Document scalar;             // a value with its own allocator
        std::unique_ptr<LV_JsonVisitor> child;  // an object or a list
    };
    Member& Add(const std::string& name);

    bool m_isArray = false;
    std::vector<std::unique_ptr<Member>> m_members;
};
