#pragma once

#include "tb_color.h"
#include "tb_rectangle.h"
#include "tb_string.h"

// Receives an object's properties by name. Visitors returned by AddItem and BeginList
// belong to the visitor that made them and stay valid as long as it does.
class TB_IPropertyVisitor {
public:
    virtual ~TB_IPropertyVisitor() = default;
    virtual void WriteString(const TB_String& name, const TB_String& text) = 0;
    virtual void WriteColor(const TB_String& name, const TB_Color& color) = 0;
    virtual void WriteInt2(const TB_String& name, tb_int first, tb_int second) = 0;
    virtual void WriteRectangle(const TB_String& name, const TB_Rectangle<float>& rectangle) = 0;
    // A property that has no value.
    virtual void WriteNull(const TB_String& name) = 0;
    virtual void WriteInt64(const TB_String& name, tb_int64 value) = 0;
    virtual void WriteReal(const TB_String& name, double value) = 0;
    virtual void WriteInt(const TB_String& name, tb_int value) = 0;
    virtual void WriteBool(const TB_String& name, bool value) = 0;
    // The visitor for a new element of the list this visitor stands for.
    virtual TB_IPropertyVisitor& AddItem() = 0;
    // The visitor for a named list.
    virtual TB_IPropertyVisitor& BeginList(const TB_String& name) = 0;
};

class TB_IInspectable {
public:
    virtual ~TB_IInspectable() = default;
    // Reports the properties in their fixed order; always true.
    virtual bool Inspect(TB_IPropertyVisitor& visitor) = 0;
};
