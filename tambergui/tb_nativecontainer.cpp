#include "tb_nativecontainer.h"

TB_NativeContainer::TB_NativeContainer() {
    FillBackground = true;
    DoubleBuffered = true;
}

TB_NativeContainer::~TB_NativeContainer() {
    for (TB_NativeWidget* child : Children) {
        child->Parent = nullptr;
        child->Release();
    }
    Children.Clear();
}

void TB_NativeContainer::Create() {
    if (!CreateChildWindow()) {
        return;
    }
    CreateChildren();
    if (Visible) {
        TB_GetPlatform().ShowWindow(Window, 1);
    }
    TB_GetPlatform().UpdateWindow(Window);
    OnShown();
}

void TB_NativeContainer::CreateChildren() {
    for (tb_int i = 0; i < Children.Count(); ++i) {
        if (!Children[i]->IsCreated) {
            Children[i]->Create();
        }
    }
}

void TB_NativeContainer::AddChild(TB_NativeWidget* child) {
    if (!child || Children.Contains(child)) {
        return;
    }
    Children.Add(child);
    child->Parent = this;
    if (IsCreated) {
        if (child->Window) {
            TB_GetPlatform().SetParentWindow(child->Window, Window);
        } else {
            child->Create();
        }
        PerformLayout();
    }
    child->OnAdded();
}

void TB_NativeContainer::RemoveChild(TB_NativeWidget* child) {
    if (!child || !Children.Contains(child)) {
        return;
    }
    child->OnRemoved();
    child->Parent = nullptr;
    Children.Remove(child);
    PerformLayout();
}

void TB_NativeContainer::PerformLayout() {
    TB_Vector2 client = GetClientSize();
    float width = client.x;
    float top = 0;
    float bottom = client.y;
    for (TB_NativeWidget* child : Children) {
        if (child->Dock == TB_DockStyle::Top) {
            child->SetBounds(TB_Rectangle<float>{0, top, width, child->GetHeight()});
            top += child->GetHeight();
        }
    }
    for (TB_NativeWidget* child : Children) {
        if (child->Dock == TB_DockStyle::Bottom) {
            bottom -= child->GetHeight();
            child->SetBounds(TB_Rectangle<float>{0, bottom, width, child->GetHeight()});
        }
    }
    float band = bottom - top;
    float left = 0;
    float right = width;
    for (TB_NativeWidget* child : Children) {
        if (child->Dock == TB_DockStyle::Left) {
            child->SetBounds(TB_Rectangle<float>{left, top, child->GetWidth(), band});
            left += child->GetWidth();
        }
    }
    for (TB_NativeWidget* child : Children) {
        if (child->Dock == TB_DockStyle::Right) {
            right -= child->GetWidth();
            child->SetBounds(TB_Rectangle<float>{right, top, child->GetWidth(), band});
        }
    }
    for (TB_NativeWidget* child : Children) {
        if (child->Dock == TB_DockStyle::Fill) {
            child->SetBounds(TB_Rectangle<float>{left, top, right - left, band});
        }
    }
}

TB_Widget* TB_NativeContainer::FindIn(TB_Widget* (TB_Widget::*find)(const TB_String&),
                                      const TB_String& key, TB_Widget* self) {
    if (self) {
        return self;
    }
    for (TB_NativeWidget* child : Children) {
        if (TB_Widget* found = (child->*find)(key)) {
            return found;
        }
    }
    return nullptr;
}

TB_Widget* TB_NativeContainer::FindById(const TB_String& id) {
    return FindIn(&TB_Widget::FindById, id, TB_NativeWidget::FindById(id));
}

TB_Widget* TB_NativeContainer::FindByText(const TB_String& text) {
    return FindIn(&TB_Widget::FindByText, text, TB_NativeWidget::FindByText(text));
}

bool TB_NativeContainer::ContainsFocus() {
    if (Focused) {
        return true;
    }
    for (TB_NativeWidget* child : Children) {
        if (child->ContainsFocus()) {
            return true;
        }
    }
    return false;
}

void TB_NativeContainer::OnResized() {
    PerformLayout();
    TB_NativeWidget::OnResized();
}

bool TB_NativeContainer::Contains(const TB_Widget* widget) {
    if (widget == this) {
        return true;
    }
    for (TB_NativeWidget* child : Children) {
        if (child->Contains(widget)) {
            return true;
        }
    }
    return false;
}

bool TB_NativeContainer::Inspect(TB_IPropertyVisitor& visitor) {
    TB_NativeWidget::Inspect(visitor);
    TB_IPropertyVisitor& list = visitor.BeginList(TB_String(u"Children"));
    for (TB_NativeWidget* child : Children) {
        child->Inspect(list.AddItem());
    }
    return true;
}

TB_NativeWidgetRectangle::TB_NativeWidgetRectangle() {
    FillBackground = true;
    DoubleBuffered = true;
}

void TB_NativeWidgetRectangle::Create() {
    if (!CreateChildWindow()) {
        return;
    }
    if (Visible) {
        TB_GetPlatform().ShowWindow(Window, 1);
    }
    TB_GetPlatform().UpdateWindow(Window);
}
