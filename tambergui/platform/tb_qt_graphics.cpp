// The drawing surface and its resources over QPainter.
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cmath>
#include <map>
#include <string>

#include "platform/tb_qt_platform.h"
#include "tb_graphics.h"

namespace {

QColor ToQColor(const TB_Color& color) {
    return QColor::fromRgba(color.ToArgb());
}

QString ToQString(const TB_String& text) {
    return QString::fromUtf16(text.Chars() ? text.Chars() : u"", text.Length());
}

QRectF ToQRect(const TB_Rectangle<float>& r) {
    return QRectF(r.x, r.y, r.width, r.height);
}

// The family used when "Meiryo UI" is not installed: one that shows Japanese, preferring a
// sans-serif CJK face.
QString FallbackFamily() {
    const QStringList families = QFontDatabase::families(QFontDatabase::Japanese);
    for (const char* preferred :
         {"Noto Sans CJK JP", "Noto Sans JP", "IPAexGothic", "IPAGothic", "VL Gothic"}) {
        if (families.contains(QString::fromLatin1(preferred))) {
            return QString::fromLatin1(preferred);
        }
    }
    return families.isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont).family()
                              : families.first();
}

std::map<std::string, TB_HFONT_Object*>& HandleMap() {
    static std::map<std::string, TB_HFONT_Object*> map;
    return map;
}

}  // namespace

// ---- TB_NativeBitmap ----

TB_NativeBitmap::TB_NativeBitmap(tb_int width, tb_int height) {
    Width = width;
    Height = height;
    Allocate();
}

TB_NativeBitmap::~TB_NativeBitmap() {
    Pixels = nullptr;  // the pixels belong to the image, not to the base class
    delete static_cast<QImage*>(m_image);
}

void TB_NativeBitmap::Allocate() {
    Pixels = nullptr;
    delete static_cast<QImage*>(m_image);
    m_image = nullptr;
    if (Width > 0 && Height > 0) {
        auto* image = new QImage(Width, Height, QImage::Format_ARGB32);
        image->setDotsPerMeterX(3780);  // 96 dots per inch
        image->setDotsPerMeterY(3780);
        image->fill(0);
        m_image = image;
    }
}

tb_uint* TB_NativeBitmap::Lock() {
    auto* image = static_cast<QImage*>(m_image);
    Pixels = image ? reinterpret_cast<tb_uint*>(image->bits()) : nullptr;
    return Pixels;
}

tb_uint* TB_NativeBitmap::PixelAt(tb_int x, tb_int y) {
    tb_uint* first = Lock();
    return first ? first + x + static_cast<tb_int64>(y) * Width : nullptr;
}

void TB_NativeBitmap::Unlock() {
    Pixels = nullptr;
}

bool TB_NativeBitmap::SavePng(const TB_Uri& path) {
    auto* image = static_cast<QImage*>(m_image);
    return image && image->save(ToQString(path.GetPath()), "PNG");
}

// ---- brushes and pens ----

TB_Brush::~TB_Brush() {
    delete static_cast<QBrush*>(m_brush);
}

TB_SolidBrush::TB_SolidBrush(const TB_Color& color) {
    m_brush = new QBrush(ToQColor(color));
}

TB_Pen::TB_Pen(const TB_Color& color, float width) : m_pen(new QPen(ToQColor(color), width)) {
    static_cast<QPen*>(m_pen)->setCapStyle(Qt::FlatCap);
    static_cast<QPen*>(m_pen)->setJoinStyle(Qt::MiterJoin);
}

TB_Pen::~TB_Pen() {
    delete static_cast<QPen*>(m_pen);
}

void TB_Pen::SetDashStyle(tb_int style) {
    m_dashStyle = style;
    static_cast<QPen*>(m_pen)->setStyle(style == 1 ? Qt::DashLine : Qt::SolidLine);
}

// ---- fonts ----

TB_HFONT_Object::~TB_HFONT_Object() {
    delete static_cast<QFont*>(m_font);
}

const QString& TB_QtUiFontFamily() {
    // Looked up in the font list, not matched: a match would load a face just to be told no.
    // Fetched once per process.
    static const QString family = QFontDatabase::hasFamily(QStringLiteral("Meiryo UI"))
                                      ? QStringLiteral("Meiryo UI")
                                      : FallbackFamily();
    return family;
}

TB_Font::TB_Font(float points) : m_points(points) {
    auto* font = new QFont(TB_QtUiFontFamily());
    font->setPointSizeF(points);
    m_font = font;
}

TB_Font::~TB_Font() {
    if (m_handle) {
        if (m_handle->RefCount() == 2) {
            // This font holds the last user reference: the map's entry goes too.
            auto& map = HandleMap();
            for (auto entry = map.begin(); entry != map.end(); ++entry) {
                if (entry->second == m_handle) {
                    map.erase(entry);
                    m_handle->Release();
                    break;
                }
            }
        }
        m_handle->Release();
    }
    delete static_cast<QFont*>(m_font);
}

TB_HFONT_Object* TB_Font::GetHandle(TB_Graphics*) {
    if (m_handle) {
        return m_handle;
    }
    auto* font = static_cast<QFont*>(m_font);
    std::string key = font->key().toStdString();
    auto& map = HandleMap();
    auto found = map.find(key);
    if (found == map.end()) {
        found = map.emplace(key, new TB_HFONT_Object(new QFont(*font))).first;  // the map's count
    }
    m_handle = found->second;
    m_handle->AddRef();
    return m_handle;
}

bool TB_Font::HasGlyphs(const TB_String& text) const {
    QFontMetricsF metrics(*static_cast<QFont*>(m_font));
    const QString string = ToQString(text);
    for (auto it = string.cbegin(); it != string.cend(); ++it) {
        char32_t ucs4 = it->unicode();
        if (it->isHighSurrogate() && it + 1 != string.cend()) {
            ucs4 = QChar::surrogateToUcs4(*it, *(it + 1));
            ++it;
        }
        if (!metrics.inFontUcs4(ucs4)) {
            return false;
        }
    }
    return true;
}

TB_String TB_Font::FamilyName() const {
    QString family = QFontInfo(*static_cast<QFont*>(m_font)).family();
    return TB_String(reinterpret_cast<const tb_char*>(family.utf16()),
                     static_cast<tb_int>(family.size()));
}

tb_int TB_Font::SharedHandleCount() {
    return static_cast<tb_int>(HandleMap().size());
}

// ---- TB_Graphics ----

TB_Graphics::TB_Graphics(TB_NativeBitmap* target)
    : Target(target),
      DefaultFont(new TB_Font(10.5f)),
      DefaultPen(new TB_Pen(TB_Color{0, 0, 0, 1}, 1.0f)),
      DefaultBrush(new TB_SolidBrush(TB_Color{0, 0, 0, 1})) {
    Begin(target ? target->PlatformImage() : nullptr);
}

TB_Graphics::TB_Graphics(TB_PaintDevice* device, const TB_Rectangle<int>& area)
    : DefaultFont(new TB_Font(10.5f)),
      DefaultPen(new TB_Pen(TB_Color{0, 0, 0, 1}, 1.0f)),
      DefaultBrush(new TB_SolidBrush(TB_Color{0, 0, 0, 1})),
      BaseClip(area),
      HasBaseClip(true) {
    Begin(device);
    RestoreClip();
}

void TB_Graphics::Begin(void* device) {
    Font = DefaultFont;
    Pen = DefaultPen;
    Brush = DefaultBrush;
    auto* painter = new QPainter();
    if (device) {
        painter->begin(static_cast<QPaintDevice*>(device));
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->setRenderHint(QPainter::TextAntialiasing, true);
    }
    m_painter = painter;
}

TB_Graphics::~TB_Graphics() {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (painter->isActive()) {
        painter->end();
    }
    delete painter;
    delete static_cast<QPainterPath*>(m_path);
    DefaultFont->Release();
    DefaultPen->Release();
    DefaultBrush->Release();
}

void TB_Graphics::Clear(const TB_Color& color) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!painter->isActive()) {
        return;
    }
    painter->save();
    painter->resetTransform();
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->fillRect(QRectF(0, 0, painter->device()->width(), painter->device()->height()),
                      ToQColor(color));
    painter->restore();
}

void TB_Graphics::DrawString(const TB_String& text, TB_Vector2 origin) {
    DrawString(text, TB_Rectangle<float>{origin.x, origin.y, 1e6f, 1e6f});
}

void TB_Graphics::DrawString(const TB_String& text, const TB_Rectangle<float>& layout) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!Font || !Brush || !painter->isActive()) {
        return;
    }
    painter->save();
    painter->setFont(*static_cast<QFont*>(Font->PlatformFont()));
    painter->setPen(QPen(static_cast<QBrush*>(Brush->PlatformBrush())->color()));
    painter->drawText(ToQRect(layout), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                      ToQString(text));
    painter->restore();
}

TB_Vector2 TB_Graphics::MeasureString(const TB_String& text) {
    return MeasureString(text, TB_Vector2{1e6f, 1e6f});
}

TB_Vector2 TB_Graphics::MeasureString(const TB_String& text, TB_Vector2 maxSize) {
    if (!Font) {
        return TB_Vector2{0, 0};
    }
    QFontMetricsF metrics(*static_cast<QFont*>(Font->PlatformFont()));
    QRectF box =
        metrics.boundingRect(QRectF(0, 0, maxSize.x, maxSize.y),
                             Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, ToQString(text));
    return TB_Vector2{static_cast<float>(box.width()), static_cast<float>(box.height())};
}

// Outlines are given on whole coordinates, where the toolkit means whole pixels: a pen of odd
// width is moved to the pixel centres so a one-pixel frame stays one crisp pixel wide
// instead of two half-covered ones under antialiasing.
float TB_Graphics::StrokeOffset() const {
    if (!Pen) {
        return 0;
    }
    auto width = static_cast<int>(static_cast<QPen*>(Pen->PlatformPen())->widthF() + 0.5);
    return (width % 2 == 1) ? 0.5f : 0.0f;
}

void TB_Graphics::DrawRectangle(const TB_Rectangle<float>& rectangle) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!painter->isActive()) {
        return;
    }
    TB_Rectangle<float> r = rectangle;
    if (r.x + r.width > 1000000.0f) {
        r.width = 1000000.0f - r.x;
    }
    if (Brush) {
        painter->fillRect(ToQRect(r), *static_cast<QBrush*>(Brush->PlatformBrush()));
    }
    if (Pen) {
        painter->save();
        painter->setPen(*static_cast<QPen*>(Pen->PlatformPen()));
        painter->setBrush(Qt::NoBrush);
        painter->translate(StrokeOffset(), StrokeOffset());
        painter->drawRect(ToQRect(r));
        painter->restore();
    }
}

void TB_Graphics::DrawLine(TB_Vector2 from, TB_Vector2 to) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!Pen || !painter->isActive()) {
        return;
    }
    painter->save();
    painter->setPen(*static_cast<QPen*>(Pen->PlatformPen()));
    painter->translate(StrokeOffset(), StrokeOffset());
    painter->drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
    painter->restore();
}

void TB_Graphics::DrawImage(TB_NativeBitmap* bitmap, const TB_Rectangle<float>& destination,
                            const TB_Rectangle<float>& source) {
    auto* painter = static_cast<QPainter*>(m_painter);
    if (!bitmap || !bitmap->PlatformImage() || !painter->isActive()) {
        return;
    }
    painter->drawImage(ToQRect(destination), *static_cast<QImage*>(bitmap->PlatformImage()),
                       ToQRect(source));
}

void TB_Graphics::SetInterpolationMode(tb_int mode) {
    static_cast<QPainter*>(m_painter)->setRenderHint(QPainter::SmoothPixmapTransform,
                                                     mode != TB_InterpolationNearestNeighbor);
}

void TB_Graphics::ApplyClip(const TB_Rectangle<float>* clip) {
    auto* painter = static_cast<QPainter*>(m_painter);
    m_hasClip = clip != nullptr;
    if (clip) {
        m_clip = *clip;
    }
    if (!painter->isActive()) {
        return;
    }
    if (clip) {
        painter->setClipRect(ToQRect(*clip), Qt::ReplaceClip);
    } else {
        painter->setClipping(false);
    }
}

void TB_Graphics::SetClip(const TB_Rectangle<float>& clip) {
    ApplyClip(&clip);
}

TB_Rectangle<int> TB_Graphics::GetClipBounds() const {
    if (!m_hasClip) {
        return TB_Rectangle<int>{-4194304, -4194304, 8388608, 8388608};
    }
    // Whole pixels covering the clip.
    int left = static_cast<int>(std::floor(m_clip.x));
    int top = static_cast<int>(std::floor(m_clip.y));
    int right = static_cast<int>(std::ceil(m_clip.x + m_clip.width));
    int bottom = static_cast<int>(std::ceil(m_clip.y + m_clip.height));
    return TB_Rectangle<int>{left, top, right - left, bottom - top};
}

void TB_Graphics::PushClip(const TB_Rectangle<float>& clip) {
    TB_Rectangle<int> current = GetClipBounds();
    ClipStack.Add(TB_Rectangle<float>{static_cast<float>(current.x), static_cast<float>(current.y),
                                      static_cast<float>(current.width),
                                      static_cast<float>(current.height)});
    TB_Rectangle<float> result{0, 0, 0, 0};
    float left = std::max(static_cast<float>(current.x), clip.x);
    float width =
        std::trunc(std::min(static_cast<float>(current.x + current.width), clip.x + clip.width)) -
        left;
    if (width > 0) {
        float top = std::max(static_cast<float>(current.y), clip.y);
        float height = std::trunc(std::min(static_cast<float>(current.y + current.height),
                                           clip.y + clip.height)) -
                       top;
        if (height > 0) {
            result = TB_Rectangle<float>{left, top, width, height};
        }
    }
    ApplyClip(&result);
}

void TB_Graphics::PopClip() {
    if (ClipStack.IsEmpty()) {
        RestoreClip();
        return;
    }
    TB_Rectangle<float> previous = ClipStack[ClipStack.Count() - 1];
    ClipStack.RemoveAt(ClipStack.Count() - 1);
    ApplyClip(&previous);
}

void TB_Graphics::RestoreClip() {
    ClipStack.Clear();
    if (HasBaseClip) {
        TB_Rectangle<float> base{static_cast<float>(BaseClip.x), static_cast<float>(BaseClip.y),
                                 static_cast<float>(BaseClip.width),
                                 static_cast<float>(BaseClip.height)};
        ApplyClip(&base);
    } else {
        ApplyClip(nullptr);
    }
}

// ---- paths ----

void TB_Graphics::FillAndStroke() {
    auto* painter = static_cast<QPainter*>(m_painter);
    auto* path = static_cast<QPainterPath*>(m_path);
    if (!path || !painter->isActive()) {
        return;
    }
    if (Brush) {
        painter->fillPath(*path, *static_cast<QBrush*>(Brush->PlatformBrush()));
    }
    if (Pen) {
        painter->strokePath(*path, *static_cast<QPen*>(Pen->PlatformPen()));
    }
}

void TB_Graphics::BeginPath(TB_Vector2 start) {
    delete static_cast<QPainterPath*>(m_path);
    auto* path = new QPainterPath();
    path->setFillRule(Qt::OddEvenFill);
    path->moveTo(start.x, start.y);
    m_path = path;
    CurrentPoint = start;
}

void TB_Graphics::MoveTo(TB_Vector2 point) {
    if (!m_path) {
        BeginPath(point);
        return;
    }
    static_cast<QPainterPath*>(m_path)->moveTo(point.x, point.y);
    CurrentPoint = point;
}

void TB_Graphics::LineTo(TB_Vector2 point) {
    if (!m_path) {
        return;
    }
    static_cast<QPainterPath*>(m_path)->lineTo(point.x, point.y);
    CurrentPoint = point;
}

void TB_Graphics::ArcTo(TB_Vector2 center, float radius, double start, double sweep) {
    if (!m_path) {
        return;
    }
    TB_Vector2 first{static_cast<float>(center.x + radius * std::cos(start)),
                     static_cast<float>(center.y + radius * std::sin(start))};
    if (!(first == CurrentPoint)) {
        LineTo(first);
    }
    // Degrees with the program's own constant; clockwise in y-down space, which is the
    // negative direction of Qt's angles.
    auto startDegrees = static_cast<float>(start * 180.0 / 3.14159);
    auto sweepDegrees = static_cast<float>(sweep * 180.0 / 3.14159);
    static_cast<QPainterPath*>(m_path)->arcTo(
        QRectF(center.x - radius, center.y - radius, radius * 2, radius * 2), -startDegrees,
        -sweepDegrees);
    CurrentPoint = TB_Vector2{static_cast<float>(center.x + radius * std::cos(start + sweep)),
                              static_cast<float>(center.y + radius * std::sin(start + sweep))};
}

void TB_Graphics::BezierTo(TB_Vector2 control1, TB_Vector2 control2, TB_Vector2 end) {
    if (!m_path) {
        return;
    }
    static_cast<QPainterPath*>(m_path)->cubicTo(control1.x, control1.y, control2.x, control2.y,
                                                end.x, end.y);
    CurrentPoint = end;
}

void TB_Graphics::ClosePath() {
    if (m_path) {
        static_cast<QPainterPath*>(m_path)->closeSubpath();
    }
}

void TB_Graphics::DiscardPath() {
    delete static_cast<QPainterPath*>(m_path);
    m_path = nullptr;
}

void TB_Graphics::SetTransform(const float matrix[9]) {
    for (int i = 0; i < 9; ++i) {
        Transform[i] = matrix[i];
    }
    auto* painter = static_cast<QPainter*>(m_painter);
    if (painter->isActive()) {
        painter->setWorldTransform(
            QTransform(matrix[0], matrix[1], matrix[3], matrix[4], matrix[6], matrix[7]));
    }
}

void TB_Graphics::ResetTransform() {
    const float identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    SetTransform(identity);
}
