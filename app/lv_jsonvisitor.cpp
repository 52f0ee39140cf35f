#include "lv_jsonvisitor.h"

#include "tc_jsonpath.h"

struct LV_JsonVisitor::Shared {
    struct Level {
        bool array = false;
        bool open = false;
        std::string name;  // a list's name
        tb_int items = 0;  // a list's items so far
        tb_int index = 0;  // an item's index in its list
    };

    explicit Shared(LV_JsonWriter& out) : writer(out) {}

    LV_JsonWriter& writer;
    ItemHook hook;
    std::vector<Level> levels;
    std::vector<std::unique_ptr<LV_JsonVisitor>> visitors;  // by depth; 0 is the owner
    std::vector<Place> places;
    std::string scratch;
};

LV_JsonVisitor::LV_JsonVisitor(LV_JsonWriter& writer, const std::string& listName, ItemHook hook)
    : m_shared(new Shared(writer)), m_depth(0) {
    m_shared->hook = std::move(hook);
    m_shared->levels.push_back({true, true, listName, 0, 0});
    m_shared->visitors.emplace_back();  // depth 0 is this visitor, owned by its creator
    writer.StartArray();
}

LV_JsonVisitor::LV_JsonVisitor(Shared* shared, size_t depth) : m_shared(shared), m_depth(depth) {}

LV_JsonVisitor::~LV_JsonVisitor() {
    if (m_depth == 0) {
        delete m_shared;
    }
}

void LV_JsonVisitor::Close() {
    CloseBelow(m_depth);
    Shared::Level& level = m_shared->levels[m_depth];
    if (level.open) {
        if (level.array) {
            m_shared->writer.EndArray();
        } else {
            m_shared->writer.EndObject();
        }
        level.open = false;
    }
}

void LV_JsonVisitor::CloseBelow(size_t depth) {
    std::vector<Shared::Level>& levels = m_shared->levels;
    for (size_t d = levels.size(); d-- > depth + 1;) {
        Shared::Level& level = levels[d];
        if (!level.open) {
            continue;
        }
        if (level.array) {
            m_shared->writer.EndArray();
            level.open = false;
            continue;
        }
        if (m_shared->hook && levels[d - 1].array) {
            std::vector<Place>& places = m_shared->places;
            places.clear();
            for (size_t k = 1; k <= d; ++k) {
                if (!levels[k].array && levels[k - 1].array) {
                    places.push_back({levels[k - 1].name, levels[k].index});
                }
            }
            m_shared->hook(*m_shared->visitors[d], places);
        }
        m_shared->writer.EndObject();
        level.open = false;
    }
}

void LV_JsonVisitor::Prepare(const TB_String& name) {
    CloseBelow(m_depth);
    if (!m_shared->levels[m_depth].array) {  // list elements have no names
        std::string& key = m_shared->scratch;
        key.clear();
        TB_AppendUtf8(key, name.View());
        m_shared->writer.Key(key.c_str(), static_cast<rapidjson::SizeType>(key.size()));
    }
}

LV_JsonVisitor& LV_JsonVisitor::Open(bool array, std::string listName) {
    size_t depth = m_depth + 1;
    if (m_shared->levels.size() <= depth) {
        m_shared->levels.resize(depth + 1);
        m_shared->visitors.resize(depth + 1);
    }
    Shared::Level& parent = m_shared->levels[m_depth];
    Shared::Level& level = m_shared->levels[depth];
    level = Shared::Level{array, true, std::move(listName), 0, parent.array ? parent.items++ : 0};
    if (!m_shared->visitors[depth]) {
        m_shared->visitors[depth].reset(new LV_JsonVisitor(m_shared, depth));
    }
    if (array) {
        m_shared->writer.StartArray();
    } else {
        m_shared->writer.StartObject();
    }
    return *m_shared->visitors[depth];
}

void LV_JsonVisitor::WriteText(LV_JsonWriter& writer, const TB_String& text) {
    TC_WriteJsonPath(writer, text);
}

void LV_JsonVisitor::WriteString(const TB_String& name, const TB_String& text) {
    Prepare(name);
    WriteText(m_shared->writer, text);
}

void LV_JsonVisitor::WriteColor(const TB_String& name, const TB_Color& color) {
    Prepare(name);
    m_shared->writer.StartArray();
    for (float channel : {color.r, color.g, color.b, color.a}) {
        m_shared->writer.Double(static_cast<double>(channel));
    }
    m_shared->writer.EndArray();
}

void LV_JsonVisitor::WriteInt2(const TB_String& name, tb_int first, tb_int second) {
    Prepare(name);
    m_shared->writer.StartArray();
    m_shared->writer.Int(first);
    m_shared->writer.Int(second);
    m_shared->writer.EndArray();
}

void LV_JsonVisitor::WriteRectangle(const TB_String& name, const TB_Rectangle<float>& r) {
    Prepare(name);
    m_shared->writer.StartArray();
    for (float value : {r.x, r.y, r.width, r.height}) {
        m_shared->writer.Double(static_cast<double>(value));
    }
    m_shared->writer.EndArray();
}

void LV_JsonVisitor::WriteNull(const TB_String& name) {
    Prepare(name);
    m_shared->writer.Null();
}

void LV_JsonVisitor::WriteInt64(const TB_String& name, tb_int64 value) {
    Prepare(name);
    m_shared->writer.Int64(value);
}

void LV_JsonVisitor::WriteReal(const TB_String& name, double value) {
    Prepare(name);
    m_shared->writer.Double(value);
}

void LV_JsonVisitor::WriteInt(const TB_String& name, tb_int value) {
    Prepare(name);
    m_shared->writer.Int(value);
}

void LV_JsonVisitor::WriteBool(const TB_String& name, bool value) {
    Prepare(name);
    m_shared->writer.Bool(value);
}

TB_IPropertyVisitor& LV_JsonVisitor::AddItem() {
    CloseBelow(m_depth);
    return Open(false, std::string());
}

TB_IPropertyVisitor& LV_JsonVisitor::BeginList(const TB_String& name) {
    Prepare(name);
    std::string listName;
    TB_AppendUtf8(listName, name.View());
    return Open(true, std::move(listName));
}
