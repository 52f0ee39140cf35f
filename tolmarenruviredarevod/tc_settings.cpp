#include "tc_settings.h"

#include <rapidjson/error/en.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tb_error.h"
#include "tb_filestream.h"
#include "tc_json.h"
#include "tc_messagebox.h"

namespace T = TC_SettingType;

void TC_SettingParam::CopyValueFrom(const TC_SettingParam& other) {
    BoolValue = other.BoolValue;
    IntValue = other.IntValue;
    FloatValue = other.FloatValue;
    DoubleValue = other.DoubleValue;
    Int64Value = other.Int64Value;
    PairValue[0] = other.PairValue[0];
    PairValue[1] = other.PairValue[1];
    RectangleValue = other.RectangleValue;
    TextValue = other.TextValue;
    ColorValue = other.ColorValue;
}

TC_SettingParam* TC_AppSettings::Add(const tb_char* name, tb_int type) {
    auto* parameter = new TC_SettingParam();
    parameter->Name = name;
    parameter->Type = type;
    m_parameters.Add(parameter);
    return parameter;
}

TC_AppSettings::TC_AppSettings() {
    auto boolean = [this](const tb_char* name, bool value) {
        Add(name, T::Bool)->BoolValue = value;
    };
    auto integer = [this](const tb_char* name, tb_int value) {
        Add(name, T::Int)->IntValue = value;
    };
    auto text = [this](const tb_char* name, const tb_char* value) {
        Add(name, T::Text)->TextValue = value;
    };
    auto rectangle = [this](const tb_char* name, float w, float h) {
        Add(name, T::Rectangle)->RectangleValue = TB_Rectangle<float>{0, 0, w, h};
    };
    text(u"Language", u"ja");
    integer(u"TimeLineAudioHeight", 30);
    Add(u"PreviewBackColor", T::Color)->ColorValue =
        TB_Color{20 / 255.0f, 20 / 255.0f, 20 / 255.0f, 1};
    boolean(u"TimelineAntialias", true);
    boolean(u"PreviewBackToStart", false);
    boolean(u"PreviewAutoUpdateVoice", true);
    boolean(u"ShowKeyFrameInTimeline", true);
    integer(u"TimeLineVideoThumbnailHeight", 60);
    integer(u"LastActiveColorPanel", 0);
    rectangle(u"ActionManagerBounds", 640, 480);
    integer(u"ActionSelectorViewMode", 0);
    Add(u"ObjectSnapMargin", T::Float)->FloatValue = 8.0f;
    boolean(u"PreviewKeyCtrlChange", false);
    integer(u"TimeLineLayerOrder", 0);
    Add(u"VideoCacheMaxFileSizeMB", T::Int64)->Int64Value = 2048;
    Add(u"VideoInsertPauseDuration", T::Double)->DoubleValue = 1.0;
    boolean(u"VideoInitialStretchLock", true);
    rectangle(u"StartWindowBounds", 1280, 1024);
    integer(u"StartWindowState", 1);
    Add(u"VoiceInsertMargin", T::Double)->DoubleValue = 0.1;
    integer(u"BackupInterval", 5);
    text(u"VideoExportSettings", u"");
    text(u"CaptureVideoSettings", u"");
    text(u"CaptureSettings", u"");
    text(u"NewProjectNameRule", u"");
    text(u"FileExplorerPath", u"");
    text(u"FigureFilter", u"");
    text(u"EffectFilter", u"");
    boolean(u"PreviewAntialias", true);
    boolean(u"DontShowMMDModel", false);
    boolean(u"DontShowVMDMotion", false);
    boolean(u"StartGuideShow", true);
    boolean(u"TimeCodeGuideShow", true);
    boolean(u"UseHardwaraEncoder", false);
    integer(u"ExportPhysicsPrepareCount", 240);
    Add(u"InitAudioVolumeOfVideo", T::Float)->FloatValue = 0.5f;
    Add(u"InitAudioVolumeOfSpeaker", T::Float)->FloatValue = 1.8f;
    boolean(u"AddAllActionsOnCreate", false);
    integer(u"StartImeMode", 0);
    integer(u"GuiScale", 100);
    text(u"UiStyleName", u"");
    boolean(u"QualityImprovementChecked", false);
    boolean(u"QualityImprovement", false);
    integer(u"NumberOfBoots", 0);
    text(u"QualityImprovementId", u"");
    text(u"GcFileItem", u"");
    text(u"VoiceLibDirPath", u"");
    integer(u"VoiceLibIndex", -1);
    boolean(u"AutoPlayOnSelect", false);
    integer(u"PreviewVolume", 100);
}

TC_AppSettings::~TC_AppSettings() {
    for (TC_SettingParam* parameter : m_parameters) {
        delete parameter;
    }
    TB_ReleaseAll(m_recentProjects);
    for (TC_ColorInfo* color : m_registeredColors) {
        delete color;
    }
}

namespace {

bool ReadFloats(const rapidjson::Value& value, rapidjson::SizeType count, float* out,
                bool truncate) {
    if (!value.IsArray() || value.Size() < count) {
        return false;
    }
    for (rapidjson::SizeType i = 0; i < count; ++i) {
        if (!value[i].IsNumber()) {
            return false;
        }
    }
    for (rapidjson::SizeType i = 0; i < count; ++i) {
        double number = value[i].GetDouble();
        if (truncate) {
            // Window coordinates: clamped to the 32-bit range before the cut to a whole number.
            number = std::trunc(std::clamp(number, -2147483648.0, 2147483647.0));
        }
        out[i] = TC_ToFiniteFloat(number);
    }
    return true;
}

void StoreValue(TC_SettingParam& parameter, const rapidjson::Value& value) {
    switch (parameter.Type) {
        case T::Bool:
            parameter.BoolValue = value.IsTrue();
            break;
        case T::Int:
            if (value.IsInt()) {
                parameter.IntValue = value.GetInt();
            }
            break;
        case T::Int64:
            if (value.IsInt64()) {
                parameter.Int64Value = value.GetInt64();
            }
            break;
        case T::Float:
            if (value.IsNumber()) {
                parameter.FloatValue = TC_ToFiniteFloat(value.GetDouble());
            }
            break;
        case T::Double:
            if (value.IsNumber()) {
                parameter.DoubleValue = value.GetDouble();
            }
            break;
        case T::Pair:
        case T::Pair2:
            ReadFloats(value, 2, parameter.PairValue, false);
            break;
        case T::Rectangle: {
            float r[4];
            if (ReadFloats(value, 4, r, true)) {
                parameter.RectangleValue = TB_Rectangle<float>{r[0], r[1], r[2], r[3]};
            }
            break;
        }
        case T::Text:
            if (value.IsString()) {
                parameter.TextValue = TC_JsonText(value);
            }
            break;
        case T::Color:
            TC_ReadJsonColor(value, parameter.ColorValue);
            break;
        default:
            TB_Error::ReportFailedCheck(TB_SOURCE_NAME, __LINE__);
            break;
    }
}

// A number the writer can always write: JSON has no infinities or NaN, and a refused number
// would leave the file cut short after its key.
double Finite(double number) {
    if (std::isnan(number)) {
        return 0;
    }
    return std::clamp(number, -1.7976931348623157e308, 1.7976931348623157e308);
}

bool WriteNumbers(TC_JsonWriter& writer, std::initializer_list<double> numbers) {
    bool ok = writer.StartArray();
    for (double number : numbers) {
        ok = writer.Double(Finite(number)) && ok;
    }
    return writer.EndArray() && ok;
}

bool WriteValue(TC_JsonWriter& writer, const TC_SettingParam& parameter) {
    switch (parameter.Type) {
        case T::Bool:
            return writer.Bool(parameter.BoolValue);
        case T::Int:
            return writer.Int(parameter.IntValue);
        case T::Int64:
            return writer.Int64(parameter.Int64Value);
        case T::Float:
            return writer.Double(Finite(parameter.FloatValue));
        case T::Double:
            return writer.Double(Finite(parameter.DoubleValue));
        case T::Pair:
        case T::Pair2:
            return WriteNumbers(writer, {parameter.PairValue[0], parameter.PairValue[1]});
        case T::Rectangle: {
            const TB_Rectangle<float>& r = parameter.RectangleValue;
            return WriteNumbers(writer, {r.x, r.y, r.width, r.height});
        }
        case T::Text:
            return TC_WriteJsonString(writer, parameter.TextValue);
        case T::Color: {
            const TB_Color& c = parameter.ColorValue;
            return WriteNumbers(writer, {c.r, c.g, c.b, c.a});
        }
        default:
            TB_Error::ReportFailedCheck(TB_SOURCE_NAME, __LINE__);
            return writer.Null();
    }
}

}  // namespace

TC_AppSettings::LoadResult TC_AppSettings::Load(const TB_Uri& path, bool exitOnTypeMismatch) {
    TB_FileStream file(path, TB_FileMode::Read);
    std::string text;
    if (!file.ReadText(text)) {
        return LoadResult::Missing;
    }
    // Exact numbers: the writer gives each double its shortest exact text, and a reader that
    // rounds would let values drift from one save to the next.
    rapidjson::Document document;
    TC_ParseJsonExact(document, text);
    if (document.HasParseError()) {
        TB_String message;
        message.Format(u"Faile to parse Json : %s",
                       rapidjson::GetParseError_En(document.GetParseError()));
        TB_Error::Report(256, 5, message.Chars(), TB_SOURCE_NAME, __LINE__);
        TC_KeepBrokenFile(path);
        return LoadResult::Broken;
    }
    if (!document.IsObject()) {
        TC_KeepBrokenFile(path);
        return LoadResult::Broken;
    }
    for (const auto& member : document.GetObject()) {
        // Names are compared as decoded, as they are written back: a key that decodes to a
        // reserved name must not become a parameter written under that name.
        TB_String parameterName(member.name.GetString(),
                                static_cast<tb_int64>(member.name.GetStringLength()));
        const rapidjson::Value& value = member.value;
        if (parameterName.Equals(u"RecentProjects")) {
            if (value.IsArray()) {
                for (const auto& element : value.GetArray()) {
                    if (element.IsString()) {
                        m_recentProjects.Add(new TB_Uri(TC_JsonText(element)));
                    }
                }
            }
            continue;
        }
        if (parameterName.Equals(u"RegisteredColors")) {
            if (value.IsArray()) {
                for (const auto& element : value.GetArray()) {
                    if (!element.IsObject() || !element.HasMember("n") || !element.HasMember("c")) {
                        continue;
                    }
                    auto* info = new TC_ColorInfo();
                    info->Name = TC_JsonText(element["n"]);
                    TC_ReadJsonColor(element["c"], info->Color);
                    m_registeredColors.Add(info);
                }
            }
            continue;
        }
        if (!value.IsObject() || !value.HasMember("type") || !value["type"].IsInt()) {
            continue;
        }
        tb_int type = value["type"].GetInt();
        TC_SettingParam* parameter = FindParameter(parameterName, false);
        if (parameter && parameter->Type != type) {
            TC_ReportError(nullptr, 5, TB_String(u"Paramter Type was not matched"), TB_SOURCE_NAME,
                           __LINE__);
            if (exitOnTypeMismatch) {
                std::fflush(nullptr);
                std::_Exit(3);
            }
            return LoadResult::TypeMismatch;
        }
        if (!parameter) {
            parameter = new TC_SettingParam();
            parameter->Name = parameterName;
            parameter->Type = type;
            m_parameters.Add(parameter);
        }
        if (value.HasMember("value")) {
            StoreValue(*parameter, value["value"]);
        }
    }
    return LoadResult::Loaded;
}

std::string TC_AppSettings::ToJson() {
    rapidjson::StringBuffer buffer;
    TC_JsonWriter writer(buffer);
    TC_ConfigureJsonWriter(writer);
    bool ok = writer.StartObject();
    ok = writer.Key("RecentProjects") && writer.StartArray() && ok;
    for (TB_Uri* project : m_recentProjects) {
        ok = TC_WriteJsonString(writer, project->GetUri()) && ok;
    }
    ok = writer.EndArray() && ok;
    ok = writer.Key("RegisteredColors") && writer.StartArray() && ok;
    for (TC_ColorInfo* info : m_registeredColors) {
        ok = writer.StartObject() && writer.Key("n") && ok;
        ok = TC_WriteJsonString(writer, info->Name) && writer.Key("c") && ok;
        const TB_Color& c = info->Color;
        ok = WriteNumbers(writer, {c.r, c.g, c.b, c.a}) && writer.EndObject() && ok;
    }
    ok = writer.EndArray() && ok;
    for (TC_SettingParam* parameter : m_parameters) {
        std::string name = parameter->Name.ToStdString();
        ok = writer.Key(name.c_str(), static_cast<rapidjson::SizeType>(name.size())) && ok;
        ok = writer.StartObject() && writer.Key("type") && writer.Int(parameter->Type) && ok;
        ok = writer.Key("value") && WriteValue(writer, *parameter) && writer.EndObject() && ok;
    }
    ok = writer.EndObject() && ok;
    if (!ok || !writer.IsComplete()) {
        return std::string();  // never a half-written document
    }
    return std::string(buffer.GetString(), buffer.GetSize());
}

bool TC_AppSettings::Save(const TB_Uri& path) {
    std::string text = ToJson();
    if (text.empty()) {
        TB_Error::Report(2, 7, u"The settings could not be written; the previous file was kept",
                         TB_SOURCE_NAME, __LINE__);
        return false;
    }
    return TC_SaveJsonText(path, text);
}

TC_SettingParam* TC_AppSettings::FindParameter(const TB_String& name, bool report) {
    for (TC_SettingParam* parameter : m_parameters) {
        if (parameter->Name.Equals(name)) {
            return parameter;
        }
    }
    if (report) {
        TC_ReportError(nullptr, 4, name, TB_SOURCE_NAME, __LINE__);
    }
    return nullptr;
}

void TC_AppSettings::SetText(TC_SettingParam* parameter, const TB_String& text) {
    if (parameter && parameter->Type == T::Text) {
        parameter->TextValue = text;
    }
}

void TC_AppSettings::CopyFrom(TC_AppSettings& other) {
    for (TC_SettingParam* source : other.m_parameters) {
        TC_SettingParam* target = FindParameter(source->Name, true);
        if (target && target->Type == source->Type) {
            target->CopyValueFrom(*source);
        }
    }
}

tb_int TC_AppSettings::GetInt(const tb_char* name) {
    TC_SettingParam* parameter = FindParameter(name);
    return parameter ? parameter->IntValue : 0;
}

void TC_AppSettings::SetInt(const tb_char* name, tb_int value) {
    if (TC_SettingParam* parameter = FindParameter(name)) {
        parameter->IntValue = value;
    }
}

bool TC_AppSettings::GetBool(const tb_char* name) {
    TC_SettingParam* parameter = FindParameter(name);
    return parameter && parameter->BoolValue;
}

void TC_AppSettings::SetBool(const tb_char* name, bool value) {
    if (TC_SettingParam* parameter = FindParameter(name)) {
        parameter->BoolValue = value;
    }
}

TB_String TC_AppSettings::GetText(const tb_char* name) {
    TC_SettingParam* parameter = FindParameter(name);
    return parameter ? parameter->TextValue : TB_String();
}

void TC_AppSettings::SetText(const tb_char* name, const TB_String& text) {
    SetText(FindParameter(name), text);
}

TB_Rectangle<float> TC_AppSettings::GetRectangle(const tb_char* name) {
    TC_SettingParam* parameter = FindParameter(name);
    return parameter ? parameter->RectangleValue : TB_Rectangle<float>();
}

void TC_AppSettings::SetRectangle(const tb_char* name, const TB_Rectangle<float>& value) {
    if (TC_SettingParam* parameter = FindParameter(name)) {
        parameter->RectangleValue = value;
    }
}

bool TC_AppSettings::Inspect(TB_IPropertyVisitor& visitor) {
    for (TC_SettingParam* parameter : m_parameters) {
        const TB_String& name = parameter->Name;
        switch (parameter->Type) {
            case T::Bool:
                visitor.WriteBool(name, parameter->BoolValue);
                break;
            case T::Int:
                visitor.WriteInt(name, parameter->IntValue);
                break;
            case T::Float:
                visitor.WriteReal(name, parameter->FloatValue);
                break;
            case T::Double:
                visitor.WriteReal(name, parameter->DoubleValue);
                break;
            case T::Int64:
                visitor.WriteInt64(name, parameter->Int64Value);
                break;
            case T::Pair:
            case T::Pair2:
                visitor.WriteInt2(name, static_cast<tb_int>(parameter->PairValue[0]),
                                  static_cast<tb_int>(parameter->PairValue[1]));
                break;
            case T::Rectangle:
                visitor.WriteRectangle(name, parameter->RectangleValue);
                break;
            case T::Text:
                visitor.WriteString(name, parameter->TextValue);
                break;
            case T::Color:
                visitor.WriteColor(name, parameter->ColorValue);
                break;
            default:
                visitor.WriteNull(name);
                break;
        }
    }
    return true;
}
