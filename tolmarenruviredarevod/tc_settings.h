#pragma once

#include "tb_color.h"
#include "tb_inspectable.h"
#include "tb_list.h"
#include "tb_rectangle.h"
#include "tb_uri.h"

// Type codes of a setting parameter.
namespace TC_SettingType {
enum : tb_int {
    Bool = 0,
    Int = 1,
    Float = 2,
    Double = 3,
    Int64 = 4,
    Pair = 5,
    Pair2 = 6,
    Rectangle = 7,
    Text = 8,
    Color = 9,
};
}

// One named, typed value of the settings store. Only the field of its type is meaningful.
struct TC_SettingParam {
    TB_String Name;
    tb_int Type = TC_SettingType::Int;
    bool BoolValue = false;
    tb_int IntValue = 0;
    float FloatValue = 0;
    double DoubleValue = 0;
    tb_int64 Int64Value = 0;
    float PairValue[2] = {0, 0};
    TB_Rectangle<float> RectangleValue;  // whole numbers
    TB_String TextValue;
    TB_Color ColorValue;

    // Copies the value (not the name) of another parameter of the same type.
    void CopyValueFrom(const TC_SettingParam& other);
};

struct TC_ColorInfo {
    TB_Color Color;
    TB_String Name;
};

// A JSON number as a float: numbers beyond the float range are clamped to its largest
// finite value, so a value read from a file can always be written back.
inline float TC_ToFiniteFloat(double number) {
    constexpr double kLargest = 3.4028234663852886e38;  // FLT_MAX
    return static_cast<float>(number > kLargest    ? kLargest
                              : number < -kLargest ? -kLargest
                                                   : number);
}

// Reads a JSON colour: four numbers, three numbers (alpha 1) or "#RRGGBB" in either case.
// Anything else leaves the colour as it was and answers false.
template <class TValue>
bool TC_ReadJsonColor(const TValue& value, TB_Color& color);

// The application's typed key/value store, persisted as setting.json. Starts with the
// built-in table, overlays the file at start and is written back whole at the end.
class TC_AppSettings : public TB_Object, public TB_IInspectable {
public:
    enum class LoadResult { Loaded, Missing, Broken, TypeMismatch };

    TC_AppSettings();
    TC_AppSettings(const TC_AppSettings&) = delete;
    TC_AppSettings& operator=(const TC_AppSettings&) = delete;
    ~TC_AppSettings() override;

    // Overlays the file. A file that does not parse (or whose root is no object) keeps the
    // defaults and is moved aside as "<name>.broken", so the end of the run cannot overwrite
    // the user's only copy. A known parameter stored with another type is reported and,
    // when exitOnTypeMismatch is set, ends the process with status 3 at once.
    LoadResult Load(const TB_Uri& path, bool exitOnTypeMismatch = true);
    // Writes every parameter through a temporary file and a rename; false (and an error-log
    // entry) when the file could not be replaced, which leaves the old one intact.
    bool Save(const TB_Uri& path);
    // The text Save writes.
    std::string ToJson();

    TC_SettingParam* FindParameter(const TB_String& name, bool report);
    TC_SettingParam* FindParameter(const tb_char* name, bool report = true) {
        return FindParameter(TB_String(name), report);
    }
    void SetText(TC_SettingParam* parameter, const TB_String& text);
    void CopyFrom(TC_AppSettings& other);

    // Typed access to parameters of the built-in table.
    tb_int GetInt(const tb_char* name);
    void SetInt(const tb_char* name, tb_int value);
    bool GetBool(const tb_char* name);
    void SetBool(const tb_char* name, bool value);
    TB_String GetText(const tb_char* name);
    void SetText(const tb_char* name, const TB_String& text);
    TB_Rectangle<float> GetRectangle(const tb_char* name);
    void SetRectangle(const tb_char* name, const TB_Rectangle<float>& value);

    const TB_List<TC_SettingParam*>& Parameters() const { return m_parameters; }
    TB_List<TB_Uri*>& RecentProjects() { return m_recentProjects; }
    TB_List<TC_ColorInfo*>& RegisteredColors() { return m_registeredColors; }

    bool Inspect(TB_IPropertyVisitor& visitor) override;

private:
    TC_SettingParam* Add(const tb_char* name, tb_int type);

    TB_List<TC_SettingParam*> m_parameters;
    TB_List<TB_Uri*> m_recentProjects;
    TB_List<TC_ColorInfo*> m_registeredColors;
};

template <class TValue>
bool TC_ReadJsonColor(const TValue& value, TB_Color& color) {
    if (value.IsArray() && (value.Size() == 3 || value.Size() == 4)) {
        for (const auto& component : value.GetArray()) {
            if (!component.IsNumber()) {
                return false;
            }
        }
        color.r = TC_ToFiniteFloat(value[0].GetDouble());
        color.g = TC_ToFiniteFloat(value[1].GetDouble());
        color.b = TC_ToFiniteFloat(value[2].GetDouble());
        color.a = value.Size() == 4 ? TC_ToFiniteFloat(value[3].GetDouble()) : 1.0f;
        return true;
    }
    if (value.IsString() && value.GetStringLength() == 7 && value.GetString()[0] == '#') {
        const char* text = value.GetString();
        int channels[3];
        for (int i = 0; i < 3; ++i) {
            int pair = 0;
            for (int k = 1; k <= 2; ++k) {
                char c = text[i * 2 + k];
                int digit = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : -1;
                if (digit < 0) {
                    return false;
                }
                pair = pair * 16 + digit;
            }
            channels[i] = pair;
        }
        color = TB_Color{channels[0] / 255.0f, channels[1] / 255.0f, channels[2] / 255.0f, 1.0f};
        return true;
    }
    return false;
}
