#include "lv_jsonvisitor.h"

namespace {

std::string Utf8(const TB_String& text) {
    return text.ToStdString();
}

}  // namespace

rapidjson::Value LV_JsonVisitor::ToJson(const TB_String& text,
                                        rapidjson::Document::AllocatorType& allocator) {
    std::string utf8 = Utf8(text);
    return rapidjson::Value(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()), allocator);
}

LV_JsonVisitor::Member& LV_JsonVisitor::Add(const std::string& name) {
    m_members.push_back(std::make_unique<Member>());
    m_members.back()->name = name;
    return *m_members.back();
}

void LV_JsonVisitor::Write(const std::string& name, rapidjson::Value value) {
    Member& member = Add(name);
    member.scalar.CopyFrom(value, member.scalar.GetAllocator());
}

void LV_JsonVisitor::WriteString(const TB_String& name, const TB_String& text) {
    Member& member = Add(Utf8(name));
    std::string utf8 = Utf8(text);
    member.scalar.SetString(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()),
                            member.scalar.GetAllocator());
}

void LV_JsonVisitor::WriteColor(const TB_String& name, const TB_Color& color) {
    Member& member = Add(Utf8(name));
    member.scalar.SetArray();
    for (float channel : {color.r, color.g, color.b, color.a}) {
        member.scalar.PushBack(static_cast<double>(channel), member.scalar.GetAllocator());
    }
}

void LV_JsonVisitor::WriteInt2(const TB_String& name, tb_int first, tb_int second) {
    Member& member = Add(Utf8(name));
    member.scalar.SetArray();
    member.scalar.PushBack(first, member.scalar.GetAllocator())
        .PushBack(second, member.scalar.GetAllocator());
}

void LV_JsonVisitor::WriteRectangle(const TB_String& name, const TB_Rectangle<float>& r) {
    Member& member = Add(Utf8(name));
    member.scalar.SetArray();
    for (float value : {r.x, r.y, r.width, r.height}) {
        member.scalar.PushBack(static_cast<double>(value), member.scalar.GetAllocator());
    }
}

void LV_JsonVisitor::WriteNull(const TB_String& name) {
    Add(Utf8(name)).scalar.SetNull();
}
void LV_JsonVisitor::WriteInt64(const TB_String& name, tb_int64 value) {
    Add(Utf8(name)).scalar.SetInt64(value);
}
void LV_JsonVisitor::WriteReal(const TB_String& name, double value) {
    Add(Utf8(name)).scalar.SetDouble(value);
}
void LV_JsonVisitor::WriteInt(const TB_String& name, tb_int value) {
    Add(Utf8(name)).scalar.SetInt(value);
}
void LV_JsonVisitor::WriteBool(const TB_String& name, bool value) {
    Add(Utf8(name)).scalar.SetBool(value);
}

TB_IPropertyVisitor& LV_JsonVisitor::AddItem() {
    m_isArray = true;
    Member& member = Add("");
    member.child = std::make_unique<LV_JsonVisitor>();
    return *member.child;
}

TB_IPropertyVisitor& LV_JsonVisitor::BeginList(const TB_String& name) {
    Member& member = Add(Utf8(name));
    member.child = std::make_unique<LV_JsonVisitor>();
    member.child->m_isArray = true;
    return *member.child;
}

std::vector<LV_JsonVisitor*> LV_JsonVisitor::Items(const std::string& name) {
    std::vector<LV_JsonVisitor*> items;
    for (auto& member : m_members) {
        if (member->name == name && member->child) {
            for (auto& item : member->child->m_members) {
                if (item->child) {
                    items.push_back(item->child.get());
                }
            }
        }
    }
    return items;
}

rapidjson::Value LV_JsonVisitor::ToValue(rapidjson::Document::AllocatorType& allocator) {
    rapidjson::Value result(m_isArray ? rapidjson::kArrayType : rapidjson::kObjectType);
    for (auto& member : m_members) {
        rapidjson::Value value;
        if (member->child) {
            value = member->child->ToValue(allocator);
        } else {
            value.CopyFrom(member->scalar, allocator);
        }
        if (m_isArray) {
            result.PushBack(value, allocator);
        } else {
            result.AddMember(rapidjson::Value(member->name.c_str(), allocator), value, allocator);
        }
    }
    return result;
}
