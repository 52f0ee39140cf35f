#pragma once

#include "tb_nativewidget.h"

// A native widget with children. The container holds one count on each child: AddChild
// takes over the caller's count, RemoveChild hands it back, destruction releases the rest.
class TB_NativeContainer : public TB_NativeWidget {
public:
    TB_NativeContainer();
    ~TB_NativeContainer() override;

    // Arranges the docked children: tops from the top, bottoms from the bottom, lefts and
    // rights in the band between, fills over what is left.
    void PerformLayout() override;
    TB_Widget* FindById(const TB_String& id) override;
    TB_Widget* FindByText(const TB_String& text) override;
    void Create() override;
    bool ContainsFocus() override;
    void OnResized() override;
    bool Contains(const TB_Widget* widget) override;
    bool Inspect(TB_IPropertyVisitor& visitor) override;

    virtual void CreateChildren();
    virtual void AddChild(TB_NativeWidget* child);
    virtual void RemoveChild(TB_NativeWidget* child);
    virtual bool HasChild(TB_NativeWidget* child) const { return Children.Contains(child); }
    virtual void OnShown() {
        TB_EventArg arg;
        OnShown(arg);
    }
    virtual void OnShown(TB_EventArg& arg) { Shown.Fire(arg); }

    TB_List<TB_NativeWidget*> Children;
    TB_Event<TB_EventArg> Shown;

private:
    // self when it matched, else the first child that answers find.
    TB_Widget* FindIn(TB_Widget* (TB_Widget::*find)(const TB_String&), const TB_String& key,
                      TB_Widget* self);
};

// The plain leaf window on which drawn controls are built.
class TB_NativeWidgetRectangle : public TB_NativeWidget {
public:
    TB_NativeWidgetRectangle();
    void Create() override;
};
