#include "tb_svg_path.h"

#include <algorithm>
#include <cmath>

#include "tb_error.h"
#include "tb_svg_element.h"

namespace {

constexpr double kTwoPi = 6.28318;
// An arc never needs more segments than this, however large the document says it is.
constexpr tb_int64 kMostArcSegments = 4096;

float Finite(float value) {
    constexpr float kFar = 1e7f;
    if (!std::isfinite(value)) {
        return 0;
    }
    return std::clamp(value, -kFar, kFar);
}

double Wrap(double angle) {
    return angle < 0 ? angle + kTwoPi : angle;
}

}  // namespace

TB_Vector2 TB_SvgMapping::Map(TB_Vector2 point) const {
    return TB_Vector2{Finite(Rect.x + point.x * Rect.width / ViewBox.width),
                      Finite(Rect.y + point.y * Rect.height / ViewBox.height)};
}

void TB_Path_MoveTo::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                           TB_SvgPathData&, const TB_SvgMapping& mapping) {
    currentPoint = Resolve(currentPoint, x, y);
    renderable.MoveTo(mapping.Map(currentPoint));
}

void TB_Path_LineTo::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                           TB_SvgPathData&, const TB_SvgMapping& mapping) {
    currentPoint = Resolve(currentPoint, x, y);
    renderable.LineTo(mapping.Map(currentPoint));
}

void TB_Path_Horizon::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                            TB_SvgPathData&, const TB_SvgMapping& mapping) {
    currentPoint.x = Relative ? currentPoint.x + x : x;
    renderable.LineTo(mapping.Map(currentPoint));
}

void TB_Path_Vertical::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                             TB_SvgPathData&, const TB_SvgMapping& mapping) {
    currentPoint.y = Relative ? currentPoint.y + y : y;
    renderable.LineTo(mapping.Map(currentPoint));
}

void TB_Path_Beizer::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                           TB_SvgPathData& pathData, const TB_SvgMapping& mapping) {
    TB_Vector2 c1 = Resolve(currentPoint, x1, y1);
    TB_Vector2 c2 = Resolve(currentPoint, x2, y2);
    TB_Vector2 end = Resolve(currentPoint, x, y);
    renderable.BezierTo(mapping.Map(c1), mapping.Map(c2), mapping.Map(end));
    currentPoint = end;
    pathData.LastControlPoint = c2;
}

void TB_Path_BeizerSmooth::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint,
                                 TB_SvgPathData& pathData, const TB_SvgMapping& mapping) {
    TB_Vector2 last = pathData.LastControlPoint;
    TB_Vector2 c1{2 * currentPoint.x - last.x, 2 * currentPoint.y - last.y};
    TB_Vector2 c2 = Resolve(currentPoint, x2, y2);
    TB_Vector2 end = Resolve(currentPoint, x, y);
    renderable.BezierTo(mapping.Map(c1), mapping.Map(c2), mapping.Map(end));
    currentPoint = end;
    pathData.LastControlPoint = c2;
}

void TB_Path_Arc::Apply(TB_IPathRenderable& renderable, TB_Vector2& currentPoint, TB_SvgPathData&,
                        const TB_SvgMapping& mapping) {
    TB_Vector2 start = currentPoint;
    TB_Vector2 end = Resolve(currentPoint, x, y);
    currentPoint = end;
    if (rx != ry) {
        renderable.MoveTo(mapping.Map(end));
        return;
    }
    if (start.x == end.x && start.y == end.y) {
        return;  // an arc that ends where it starts draws nothing (and has no centre)
    }
    double r = rx;
    double mx = (static_cast<double>(start.x) + end.x) / 2;
    double my = (static_cast<double>(start.y) + end.y) / 2;
    double dx = end.x - mx;
    double dy = end.y - my;
    double l = dx * dx + dy * dy;
    if (r * r < l) {
        TB_DebugPrint(u"Invalid Arc of Svg a tag");
        TB_Error::ReportFailedCheck(TB_SOURCE_NAME, __LINE__);
        renderable.MoveTo(mapping.Map(end));
        return;
    }
    double m = std::sqrt(r * r / l - 1);
    double centers[2][2] = {{mx + dy * m, my - dx * m}, {mx - dy * m, my + dx * m}};
    double theta[2], delta[2];
    for (int i = 0; i < 2; ++i) {
        theta[i] = Wrap(std::atan2(start.y - centers[i][1], start.x - centers[i][0]));
        double finish = Wrap(std::atan2(end.y - centers[i][1], end.x - centers[i][0]));
        delta[i] = Wrap(finish - theta[i]);
    }
    int chosen = 0;
    if (sweep == 0 || sweep == 1) {
        if (sweep == 0) {
            delta[0] -= kTwoPi;
            delta[1] -= kTwoPi;
        }
        bool takeFirst = (largeArc == 1 && std::fabs(delta[0]) > std::fabs(delta[1])) ||
                         (largeArc == 0 && std::fabs(delta[0]) < std::fabs(delta[1]));
        chosen = takeFirst ? 0 : 1;
    }
    double span = std::fabs(delta[chosen]) * r * mapping.ScaleX();
    tb_int64 n = std::isfinite(span) ? static_cast<tb_int64>(std::min(span, 1e12)) / 2 : 0;
    n = std::clamp<tb_int64>(n, 6, kMostArcSegments);
    for (tb_int64 i = 0; i < n; ++i) {
        double angle =
            theta[chosen] + static_cast<double>(i) * delta[chosen] / static_cast<double>(n);
        TB_Vector2 point{static_cast<float>(centers[chosen][0] + r * std::cos(angle)),
                         static_cast<float>(centers[chosen][1] + r * std::sin(angle))};
        renderable.LineTo(mapping.Map(point));
    }
    renderable.LineTo(mapping.Map(end));
}
