#include "lv_check_style.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <unistd.h>

#include <cmath>

#include "lv_style.h"
#include "tb_messagebox.h"

namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void WriteText(Writer& w, const TB_String& text) {
    std::string utf8 = text.ToStdString();
    w.String(utf8.c_str(), static_cast<rapidjson::SizeType>(utf8.size()));
}

void WriteColour(Writer& w, const TB_Color& c) {
    w.StartArray();
    for (float v : {c.r, c.g, c.b, c.a}) {
        w.Double(static_cast<double>(v));
    }
    w.EndArray();
}

}  // namespace

int LV_RunStyleCheck(const std::vector<std::string>& arguments, std::FILE* out) {
    if (arguments.size() != 2) {
        std::fputs("usage: lumovox-check --style FOLDER|NAME\n", stderr);
        return 2;
    }
    std::string path = arguments[1];
    TB_Uri folder;
    if (!path.empty() && path.find('/') == std::string::npos) {
        // A bare name is looked up as the program looks up its UiStyleName, which lets an
        // installed tree be checked from where it was installed to.
        folder = LV_StyleFolder(TB_String(path.c_str()));
    } else {
        if (path.empty() || path[0] != '/') {
            char cwd[4096];
            if (getcwd(cwd, sizeof cwd)) {
                path = std::string(cwd) + "/" + path;
            }
        }
        folder = TB_Uri{TB_String(path.c_str())};
    }
    std::vector<std::string> messages;
    TB_SetMessageBoxHook([&](TB_WindowHandle, const TB_String& text, const TB_String&, tb_uint) {
        messages.push_back(text.ToStdString());
        return TB_IDOK;
    });
    bool complete = true;
    rapidjson::StringBuffer buffer;
    Writer w(buffer);
    w.SetIndent(' ', 2);
    w.StartObject();
    w.Key("folder");
    WriteText(w, folder.GetPath());

    LV_StyleColours colours;
    bool parsed = LV_ReadStyleColours(nullptr, folder, colours);
    w.Key("colours");
    w.StartObject();
    for (int i = 0; i < LV_kStyleColourCount; ++i) {
        w.Key(LV_kStyleColourKeys[i]);
        w.StartObject();
        w.Key("read");
        w.Bool(parsed && colours.Present[i]);
        if (parsed) {
            w.Key("value");
            WriteColour(w, colours.Values[i]);
            w.Key("clamped");
            w.Bool(colours.Clamped[i]);
        }
        w.EndObject();
        complete = complete && parsed && colours.Present[i] && !colours.Clamped[i];
    }
    w.EndObject();
    if (!parsed) {
        w.Key("coloursError");
        w.String("style.json is not valid JSON");
    }

    w.Key("icons");
    w.StartArray();
    for (int base = 0; base < LV_kStyleIconBases; ++base) {
        for (int state = 0; state < 4; ++state) {
            TB_String file = LV_StyleIconFile(base, state);
            auto renderer = TB_Ref<TB_SvgRenderer>::Adopt(new TB_SvgRenderer());
            bool loaded = LV_LoadStyleIcon(nullptr, folder, file, renderer.Get());
            complete = complete && loaded;
            w.StartObject();
            w.Key("file");
            WriteText(w, file);
            w.Key("loaded");
            w.Bool(loaded);
            if (loaded) {
                TB_Rectangle<float> box = renderer->GetViewBox();
                w.Key("viewBox");
                w.StartArray();
                for (float v : {box.x, box.y, box.width, box.height}) {
                    w.Double(static_cast<double>(v));
                }
                w.EndArray();
            }
            w.EndObject();
        }
    }
    w.EndArray();

    TB_NativeBitmap* title = nullptr;
    bool titleLoaded = LV_LoadStyleBitmap(nullptr, folder, u"title_under_line.png", title);
    complete = complete && titleLoaded;
    w.Key("titleBitmap");
    w.StartObject();
    w.Key("loaded");
    w.Bool(titleLoaded);
    if (title) {
        w.Key("width");
        w.Int(title->Width);
        w.Key("height");
        w.Int(title->Height);
        title->Release();
    }
    w.EndObject();

    w.Key("contrast");
    w.StartArray();
    for (int i = 0; i < LV_kContrastPairCount; ++i) {
        const LV_ContrastPair& pair = LV_kContrastPairs[i];
        w.StartObject();
        w.Key("text");
        w.String(LV_kStyleColourKeys[pair.Text]);
        w.Key("background");
        w.String(LV_kStyleColourKeys[pair.Background]);
        w.Key("where");
        w.String(pair.Where);
        w.Key("ratio");
        w.Double(std::round(
                     LV_ContrastRatio(colours.Values[pair.Text], colours.Values[pair.Background]) *
                     100) /
                 100);
        w.EndObject();
    }
    w.EndArray();

    w.Key("messages");
    w.StartArray();
    for (const std::string& message : messages) {
        w.String(message.c_str(), static_cast<rapidjson::SizeType>(message.size()));
    }
    w.EndArray();
    w.EndObject();
    TB_SetMessageBoxHook(nullptr);
    std::fwrite(buffer.GetString(), 1, buffer.GetSize(), out);
    std::fputc('\n', out);
    return complete ? 0 : 1;
}
