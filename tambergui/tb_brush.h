#pragma once

#include "tb_color.h"
#include "tb_object.h"

// A fill. The platform brush is owned.
class TB_Brush : public TB_Object {
public:
    ~TB_Brush() override;
    void* PlatformBrush() const { return m_brush; }

protected:
    void* m_brush = nullptr;  // QBrush*
};

class TB_SolidBrush : public TB_Brush {
public:
    explicit TB_SolidBrush(const TB_Color& color);
};
