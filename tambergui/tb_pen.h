#pragma once

#include "tb_color.h"
#include "tb_object.h"

// An outline of a colour and a width in world units.
class TB_Pen : public TB_Object {
public:
    TB_Pen(const TB_Color& color, float width);
    ~TB_Pen() override;

    // 0 solid, 1 dash.
    void SetDashStyle(tb_int style);
    tb_int DashStyle() const { return m_dashStyle; }
    void* PlatformPen() const { return m_pen; }

private:
    void* m_pen;  // QPen*
    tb_int m_dashStyle = 0;
};
