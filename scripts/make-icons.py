#!/usr/bin/env python3
"""Draws the toolbar pictures (41 x 38) and their shared mask into
framework/pictures/ as PNG files numbered 168 to 174. Pure Python."""
import math
import os
import struct
import zlib

W, H = 41, 38
OUT = os.path.join(os.path.dirname(__file__), '..', 'framework', 'pictures')


def png(path, pixels):
    raw = b''.join(b'\x00' + bytes(v for px in row for v in px) for row in pixels)

    def chunk(tag, data):
        c = struct.pack('>I', len(data)) + tag + data
        return c + struct.pack('>I', zlib.crc32(tag + data) & 0xffffffff)

    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, 8, 6, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(data)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return math.hypot(x - cx, y - cy) <= r


def tile(x, y):
    return rounded_rect(x, y, 2.5, 1.5, 38.5, 36.5, 7)


def seg(x, y, ax, ay, bx, by, w):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(x - ax - t * dx, y - ay - t * dy) <= w / 2


def tri(x, y, pts):
    (x1, y1), (x2, y2), (x3, y3) = pts
    d1 = (x - x2) * (y1 - y2) - (x1 - x2) * (y - y2)
    d2 = (x - x3) * (y2 - y3) - (x2 - x3) * (y - y3)
    d3 = (x - x1) * (y3 - y1) - (x3 - x1) * (y - y1)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


def arc(x, y, cx, cy, r, w, a0, a1):
    d = math.hypot(x - cx, y - cy)
    if abs(d - r) > w / 2:
        return False
    a = math.degrees(math.atan2(cy - y, x - cx)) % 360
    return (a0 <= a <= a1) if a0 <= a1 else (a >= a0 or a <= a1)


# Each symbol: list of (test, colour); later entries paint over earlier ones.
def connect(x, y):
    if seg(x, y, 9, 19, 21, 19, 4) or tri(x, y, [(20, 12), (20, 26), (28, 19)]):
        return (40, 150, 60)
    if rounded_rect(x, y, 27, 10, 33, 28, 2):
        return (50, 90, 170)
    return None


def disconnect(x, y):
    if seg(x, y, 12, 11, 29, 27, 4.5) or seg(x, y, 29, 11, 12, 27, 4.5):
        return (200, 50, 45)
    return None


def sync(x, y):
    if arc(x, y, 20.5, 19, 9, 3.5, 20, 160) or tri(x, y, [(26, 15), (33, 15), (30.5, 22)]):
        return (40, 110, 200)
    if arc(x, y, 20.5, 19, 9, 3.5, 200, 340) or tri(x, y, [(15, 23), (8, 23), (10.5, 16)]):
        return (40, 150, 60)
    return None


def clear(x, y):
    if rounded_rect(x, y, 13, 13, 28, 30, 2) and not (14.5 < x < 26.5 and 14.5 < y < 28.5):
        return (90, 90, 90)
    if rounded_rect(x, y, 11, 9, 30, 12, 1) or rounded_rect(x, y, 17, 6.5, 24, 9.5, 1):
        return (90, 90, 90)
    if any(seg(x, y, cx, 16, cx, 27, 1.6) for cx in (17.5, 20.5, 23.5)):
        return (120, 120, 120)
    return None


def typelist(x, y):
    if rounded_rect(x, y, 11, 7, 30, 31, 1.5):
        for ly in (12, 17, 22, 27):
            if seg(x, y, 14, ly, 27 if ly != 27 else 22, ly, 2):
                return (60, 90, 150)
        if 12 < x < 29 and 8 < y < 30:
            return (255, 255, 255)
        return (90, 90, 90)
    return None


def prefs(x, y):
    cx, cy = 20.5, 19
    d = math.hypot(x - cx, y - cy)
    a = math.atan2(y - cy, x - cx)
    teeth = 8
    rr = 9.5 + (2.5 if math.cos(a * teeth) > 0.3 else 0)
    if d <= 3.5:
        return None
    if d <= rr:
        return (95, 100, 110)
    return None


def draw(symbol):
    pixels = []
    n = 4
    for py in range(H):
        row = []
        for px in range(W):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(n):
                for sx in range(n):
                    x = px + (sx + 0.5) / n
                    y = py + (sy + 0.5) / n
                    if not tile(x, y):
                        continue
                    c = symbol(x, y)
                    if c is None:
                        g = 250 - int(18 * y / H)
                        c = (g, g, g + 3 if g < 252 else 255)
                        if not rounded_rect(x, y, 3.5, 2.5, 37.5, 35.5, 6.5):
                            c = (160, 165, 175)
                    for i in range(3):
                        acc[i] += c[i]
                    acc[3] += 1
            k = n * n
            if acc[3] == 0:
                row.append((255, 255, 255, 255))
            else:
                row.append(tuple(int(acc[i] / acc[3]) for i in range(3)) + (255,))
            _ = k
        pixels.append(row)
    return pixels


def mask():
    pixels = []
    n = 4
    for py in range(H):
        row = []
        for px in range(W):
            inside = sum(tile(px + (sx + 0.5) / n, py + (sy + 0.5) / n) for sy in range(n) for sx in range(n))
            g = 255 - int(255 * inside / (n * n))
            row.append((g, g, g, 255))
        pixels.append(row)
    return pixels


def main():
    os.makedirs(OUT, exist_ok=True)
    for num, sym in zip(range(168, 174), (connect, disconnect, sync, clear, typelist, prefs)):
        png(os.path.join(OUT, f'{num}.png'), draw(sym))
    png(os.path.join(OUT, '174.png'), mask())


if __name__ == '__main__':
    main()
