"""Path building shared by the icon generators.

The icon renderer reads only a small SVG subset and differs from browsers in a few
places, so every path written here keeps to the common ground: each figure starts with
an absolute M, every command letter is written out (the renderer repeats M as M, not as
L), arcs are circular and never exact half circles (a rounding error in the chord would
make the renderer drop the arc), and numbers carry no exponent.
"""
import math


def fmt(value, places=3):
    """A number as the renderer's reader takes it: digits, one point, leading minus."""
    text = f"{value:.{places}f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


class Path:
    """Figures kept as operations, so one drawing can be moved, scaled or mirrored."""

    def __init__(self, places=3):
        self.places = places
        self.ops = []

    def move(self, x, y):
        self.ops.append(("M", x, y))

    def line(self, x, y):
        self.ops.append(("L", x, y))

    def arc(self, r, x, y, sweep=1, large=0):
        self.ops.append(("A", x, y, r, sweep, large))

    def close(self):
        self.ops.append(("Z",))

    def extend(self, other):
        self.ops.extend(other.ops)

    def mapped(self, scale=1.0, dx=0.0, dy=0.0, mirror_x=None, places=None):
        """A copy scaled about the origin, then shifted; mirror_x (a width) flips it
        left to right first, which reverses the turning sense of every arc."""
        out = Path(self.places if places is None else places)
        for op in self.ops:
            if op[0] == "Z":
                out.ops.append(op)
                continue
            x, y = op[1], op[2]
            if mirror_x is not None:
                x = mirror_x - x
            x, y = x * scale + dx, y * scale + dy
            if op[0] == "A":
                sweep = 1 - op[4] if mirror_x is not None else op[4]
                out.ops.append(("A", x, y, op[3] * scale, sweep, op[5]))
            else:
                out.ops.append((op[0], x, y))
        return out

    def rotated(self, degrees, cx, cy):
        out = Path(self.places)
        c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
        for op in self.ops:
            if op[0] == "Z":
                out.ops.append(op)
                continue
            x, y = op[1] - cx, op[2] - cy
            out.ops.append((op[0], cx + x * c - y * s, cy + x * s + y * c) + op[3:])
        return out

    def d(self):
        p = self.places
        parts = []
        for op in self.ops:
            if op[0] == "Z":
                parts.append("Z")
            elif op[0] == "A":
                r = fmt(op[3], p)
                parts.append(f"A{r} {r} 0 {op[5]} {op[4]} {fmt(op[1], p)} {fmt(op[2], p)}")
            else:
                parts.append(f"{op[0]}{fmt(op[1], p)} {fmt(op[2], p)}")
        return "".join(parts)


def _unit(dx, dy):
    length = math.hypot(dx, dy)
    return dx / length, dy / length


def rounded_polygon(points, radii, path=None, places=3):
    """One closed figure through points, each corner rounded with its radius (0 = sharp).

    Works for convex and concave corners: the arc turns the way the outline turns."""
    if path is None:
        path = Path(places)
    if not isinstance(radii, (list, tuple)):
        radii = [radii] * len(points)
    n = len(points)
    corners = []
    for i in range(n):
        px, py = points[i - 1]
        cx, cy = points[i]
        nx, ny = points[(i + 1) % n]
        r = radii[i]
        if r <= 0:
            corners.append(((cx, cy), None, None))
            continue
        ux, uy = _unit(px - cx, py - cy)
        vx, vy = _unit(nx - cx, ny - cy)
        angle = math.acos(max(-1.0, min(1.0, ux * vx + uy * vy)))
        t = r / math.tan(angle / 2)
        a = (cx + ux * t, cy + uy * t)
        b = (cx + vx * t, cy + vy * t)
        # y grows downwards, so a positive cross product is a clockwise turn on screen.
        cross = (cx - px) * (ny - cy) - (cy - py) * (nx - cx)
        corners.append((a, b, 1 if cross > 0 else 0, r))
    first = corners[0]
    start = first[1] if first[1] is not None else first[0]
    path.move(*start)
    for corner in corners[1:] + corners[:1]:
        if corner[1] is None:
            path.line(*corner[0])
        else:
            a, b, sweep, r = corner
            path.line(*a)
            path.arc(r, b[0], b[1], sweep)
    path.close()
    return path


def rounded_rect(x, y, w, h, r, path=None, places=3):
    """A rectangle with quarter-circle corners, drawn clockwise."""
    if path is None:
        path = Path(places)
    if r <= 0:
        path.move(x, y)
        path.line(x + w, y)
        path.line(x + w, y + h)
        path.line(x, y + h)
        path.close()
        return path
    path.move(x + r, y)
    path.line(x + w - r, y)
    path.arc(r, x + w, y + r)
    path.line(x + w, y + h - r)
    path.arc(r, x + w - r, y + h)
    path.line(x + r, y + h)
    path.arc(r, x, y + h - r)
    path.line(x, y + r)
    path.arc(r, x + r, y)
    path.close()
    return path


def circle(cx, cy, r, path=None, places=3):
    """A full circle as four quarter arcs (a half-circle arc is fragile, see above)."""
    if path is None:
        path = Path(places)
    path.move(cx + r, cy)
    path.arc(r, cx, cy + r)
    path.arc(r, cx - r, cy)
    path.arc(r, cx, cy - r)
    path.arc(r, cx + r, cy)
    path.close()
    return path


def capsule(x1, y1, x2, y2, width, path=None, places=3):
    """A bar from (x1, y1) to (x2, y2) with round ends, as one figure."""
    if path is None:
        path = Path(places)
    r = width / 2
    ux, uy = _unit(x2 - x1, y2 - y1)
    nx, ny = -uy, ux  # left-hand normal on screen
    path.move(x1 + nx * r, y1 + ny * r)
    path.line(x2 + nx * r, y2 + ny * r)
    path.arc(r, x2 + ux * r, y2 + uy * r, sweep=0)
    path.arc(r, x2 - nx * r, y2 - ny * r, sweep=0)
    path.line(x1 - nx * r, y1 - ny * r)
    path.arc(r, x1 - ux * r, y1 - uy * r, sweep=0)
    path.arc(r, x1 + nx * r, y1 + ny * r, sweep=0)
    path.close()
    return path


def line_intersection(p1, d1, p2, d2):
    """Where the line p1 + s d1 meets the line p2 + t d2."""
    det = d1[0] * d2[1] - d1[1] * d2[0]
    s = ((p2[0] - p1[0]) * d2[1] - (p2[1] - p1[1]) * d2[0]) / det
    return p1[0] + s * d1[0], p1[1] + s * d1[1]


def inset_polygon(points, distance):
    """Moves every edge of a simple polygon inwards by distance; returns the new corners."""
    n = len(points)
    area2 = sum(points[i][0] * points[(i + 1) % n][1] - points[(i + 1) % n][0] * points[i][1] for i in range(n))
    sign = 1 if area2 > 0 else -1
    edges = []
    for i in range(n):
        ax, ay = points[i]
        bx, by = points[(i + 1) % n]
        ux, uy = _unit(bx - ax, by - ay)
        # The interior lies to the right of each edge for a positive (screen clockwise) area.
        nx, ny = -uy * sign, ux * sign
        edges.append(((ax + nx * distance, ay + ny * distance), (ux, uy)))
    result = []
    for i in range(n):
        p1, d1 = edges[i - 1]
        p2, d2 = edges[i]
        result.append(line_intersection(p1, d1, p2, d2))
    return result


def star_points(cx, cy, outer, inner, count=5, rotation=-90.0):
    """Corners of a star, tips first, starting at rotation degrees, clockwise on screen."""
    points = []
    for i in range(count * 2):
        radius = outer if i % 2 == 0 else inner
        angle = math.radians(rotation + i * 180.0 / count)
        points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points
