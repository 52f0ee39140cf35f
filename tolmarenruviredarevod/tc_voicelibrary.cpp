#include "tc_voicelibrary.h"

#include <atomic>

bool TC_VoiceCategory::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(TB_String(u"Name"), Name);
    visitor.WriteBool(TB_String(u"Active"), Active);
    return true;
}

TC_VoiceData::~TC_VoiceData() {
    TB_ReleaseAll(Categories);
}

void TC_VoiceData::GetFullPath(TB_Uri& path) const {
    path = Library ? Library->RootPath : TB_Uri();
    path.Append(RelFilePath);
    if (!path.IsNormalized()) {  // most paths are: splitting and joining them changes nothing
        path.Normalize();
    }
}

void TC_VoiceData::AddCategory(TC_VoiceCategory* category) {
    category->AddRef();
    Categories.Add(category);
}

bool TC_VoiceData::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(TB_String(u"Surface"), Surface);
    visitor.WriteString(TB_String(u"Display"), Display);
    visitor.WriteString(TB_String(u"Yomi"), Yomi);
    visitor.WriteString(TB_String(u"RelFilePath"), RelFilePath);
    visitor.WriteBool(TB_String(u"Favorite"), Favorite);
    TB_IPropertyVisitor& list = visitor.BeginList(TB_String(u"Categories"));
    for (TC_VoiceCategory* category : Categories) {
        category->Inspect(list.AddItem());
    }
    return true;
}

TC_VoiceLibrary::~TC_VoiceLibrary() {
    ClearContents();
    TB_ReleaseAll(SubLibs);
    if (Thumbnail) {
        Thumbnail->Release();
    }
}

namespace {
std::atomic<tb_uint64> g_nextSerial{1};
}  // namespace

TC_VoiceLibrary::TC_VoiceLibrary() : Serial(g_nextSerial.fetch_add(1)) {}

void TC_VoiceLibrary::ClearContents() {
    TB_ReleaseAll(Voices);
    TB_ReleaseAll(Categories);
}

void TC_VoiceLibrary::SetThumbnail(TB_Bitmap32* thumbnail) {
    if (thumbnail) {
        thumbnail->AddRef();
    }
    if (Thumbnail) {
        Thumbnail->Release();
    }
    Thumbnail = thumbnail;
}

bool TC_VoiceLibrary::Holds(const TC_VoiceLibrary* library) const {
    if (library == this) {
        return true;
    }
    for (const TC_VoiceLibrary* sub : SubLibs) {
        if (sub->Holds(library)) {
            return true;
        }
    }
    return false;
}

void TC_VoiceLibrary::CollectVoices(std::vector<TC_VoiceData*>& voices) const {
    voices.insert(voices.end(), Voices.begin(), Voices.end());
    for (const TC_VoiceLibrary* sub : SubLibs) {
        sub->CollectVoices(voices);
    }
}

TC_VoiceCategory* TC_VoiceLibrary::FindCategory(const TB_String& name) const {
    for (TC_VoiceCategory* category : Categories) {
        if (category->Name.Equals(name)) {
            return category;
        }
    }
    return nullptr;
}

bool TC_VoiceLibrary::Inspect(TB_IPropertyVisitor& visitor) {
    visitor.WriteString(TB_String(u"Name"), Name);
    visitor.WriteInt(TB_String(u"Type"), Type);
    visitor.WriteString(TB_String(u"CharName"), CharName);
    visitor.WriteString(TB_String(u"RootPath"), RootPath.GetUri());
    visitor.WriteString(TB_String(u"InfoFilePath"), InfoFilePath.GetUri());
    TB_IPropertyVisitor& categories = visitor.BeginList(TB_String(u"Categories"));
    for (TC_VoiceCategory* category : Categories) {
        category->Inspect(categories.AddItem());
    }
    TB_IPropertyVisitor& voices = visitor.BeginList(TB_String(u"Voices"));
    for (TC_VoiceData* voice : Voices) {
        voice->Inspect(voices.AddItem());
    }
    TB_IPropertyVisitor& subLibs = visitor.BeginList(TB_String(u"SubLibs"));
    for (TC_VoiceLibrary* sub : SubLibs) {
        sub->Inspect(subLibs.AddItem());
    }
    visitor.WriteBool(TB_String(u"Available"), Available);
    return true;
}

bool TC_VoicePathBuilder::Joinable(const TC_VoiceData& voice) {
    if (voice.Library != m_library) {
        m_library = voice.Library;
        const TB_Uri* root = m_library ? &m_library->RootPath : nullptr;
        m_rootJoinable =
            root && !root->GetUri().IsEmpty() && !root->GetPath().IsEmpty() && root->IsNormalized();
        if (m_rootJoinable) {
            m_rootUri.assign(root->GetUri().View());
            m_rootNative.clear();
            TB_AppendUtf8(m_rootNative, root->GetPath().View());
            if (m_rootUri.back() != u'/') {  // only the root folder itself ends with one
                m_rootUri.push_back(u'/');
                m_rootNative.push_back('/');
            }
        }
    }
    return m_rootJoinable && TB_Uri::IsPlainRelative(voice.RelFilePath.View());
}

std::u16string_view TC_VoicePathBuilder::UriText(const TC_VoiceData& voice) {
    if (Joinable(voice)) {
        m_uri.assign(m_rootUri);
        m_uri.append(voice.RelFilePath.View());
        return m_uri;
    }
    voice.GetFullPath(m_full);
    return m_full.GetUri().View();
}

const std::string& TC_VoicePathBuilder::NativePath(const TC_VoiceData& voice) {
    if (Joinable(voice)) {
        m_native.assign(m_rootNative);
        TB_AppendUtf8(m_native, voice.RelFilePath.View());
        return m_native;
    }
    voice.GetFullPath(m_full);
    m_native.clear();
    TB_AppendUtf8(m_native, m_full.GetPath().View());
    return m_native;
}
