#pragma once

#include "tb_rectangle.h"
#include "tb_string.h"

// What assistive tools (screen readers) are told about a widget, or about an item drawn
// inside one (a list row). The platform turns it into its accessibility interfaces.
enum class TB_AccessibleRole {
    Panel,
    Frame,
    Dialog,
    Button,
    ToggleButton,
    CheckBox,
    Label,
    Text,
    ScrollBar,
    Slider,
    ComboBox,
    List,
    ListItem,
    Menu,
    MenuItem,
    Popup
};

struct TB_AccessibleInfo {
    TB_AccessibleRole Role = TB_AccessibleRole::Panel;
    TB_String Name;
    TB_String Description;
    TB_String Value;
    TB_String Shortcut;
    bool Focusable = false;
    bool Focused = false;
    bool Checkable = false;
    bool Checked = false;
    bool Selectable = false;
    bool Selected = false;
    bool Unavailable = false;  // the thing it stands for is missing (a clip's file)
    bool HasRange = false;     // Minimum, Maximum and Current hold a value range
    double Minimum = 0;
    double Maximum = 0;
    double Current = 0;
    TB_Rectangle<float> Bounds;  // items only: in screen coordinates
};

// What changed, for the platform to tell assistive tools.
enum class TB_AccessibleChange { Name, Value, State, Selection, Focus, Items };
