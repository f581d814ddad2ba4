#!/usr/bin/env python3
"""Converts the Natural Earth 1:50m coastline into data/map/land.bin, the base map's land polygons.

Source: the Debian package r-cran-rnaturalearthdata (Natural Earth, public domain; the R packaging is
CC0), read through Rscript. Only needed to re-convert: apt-get install r-cran-rnaturalearthdata.

Steps: coastline pieces that continue one another are chained into rings, pieces cut at the date line
are closed along it, Antarctica is closed round the south pole, each ring is simplified with
Douglas-Peucker (TOLERANCE degrees), and rings smaller than MINIMUM_AREA are dropped.

File layout (little-endian):
  "SVLAND01"                          8 bytes
  ring count, point count             2 x u32
  per ring: point count (u32), then the points as zigzag varint deltas of longitude and latitude in
  units of 1/UNITS_PER_DEGREE degree, each ring's first point relative to (0, 0).
Rings are closed implicitly; land is inside an odd number of rings (even-odd fill: the Caspian is a
ring inside Eurasia).
"""
import math
import os
import struct
import subprocess
import sys

TOLERANCE = 0.01  # degrees (about 1.1 km at the equator)
MINIMUM_AREA = 0.0005  # square degrees: drops islets under about 5 square kilometres
UNITS_PER_DEGREE = 10000

R_DUMP = r'''
suppressMessages(library(sp))
data(coastline50, package = "rnaturalearthdata")
for (l in coastline50@lines) for (piece in l@Lines) {
  c <- piece@coords
  cat("piece", nrow(c), "\n")
  write.table(format(c, digits = 9), quote = FALSE, row.names = FALSE, col.names = FALSE)
}
'''


def read_pieces():
    text = subprocess.run(["Rscript", "-e", R_DUMP], check=True, capture_output=True, text=True).stdout
    pieces, current = [], None
    for line in text.splitlines():
        fields = line.split()
        if not fields:
            continue
        if fields[0] == "piece":
            current = []
            pieces.append(current)
        else:
            current.append((float(fields[0]), float(fields[1])))
    return pieces


def same(a, b):
    return abs(a[0] - b[0]) < 1e-6 and abs(a[1] - b[1]) < 1e-6


def chain(pieces):
    rings, open_pieces = [], []
    for piece in pieces:
        (rings if same(piece[0], piece[-1]) else open_pieces).append(piece)
    while open_pieces:
        piece = open_pieces.pop()
        joined = True
        while joined and not same(piece[0], piece[-1]):
            joined = False
            for index, other in enumerate(open_pieces):
                if same(piece[-1], other[0]):
                    piece = piece + other[1:]
                    open_pieces.pop(index)
                    joined = True
                    break
        if not same(piece[0], piece[-1]):
            start, end = piece[0], piece[-1]
            if start[0] <= -179.99 and end[0] >= 179.99 and start[1] < -60:
                piece = piece + [(180.0, -90.0), (-180.0, -90.0)]  # Antarctica
            piece = piece + [start]  # along the date line, or a tiny gap
        rings.append(piece)
    return [ring[:-1] for ring in rings]


def simplify(points, tolerance):
    if len(points) < 3:
        return points
    keep = [False] * len(points)
    keep[0] = keep[-1] = True
    stack = [(0, len(points) - 1)]
    while stack:
        first, last = stack.pop()
        ax, ay = points[first]
        bx, by = points[last]
        dx, dy = bx - ax, by - ay
        length = math.hypot(dx, dy)
        farthest, index = 0.0, -1
        for i in range(first + 1, last):
            px, py = points[i]
            if length == 0:
                distance = math.hypot(px - ax, py - ay)
            else:
                distance = abs(dy * (px - ax) - dx * (py - ay)) / length
            if distance > farthest:
                farthest, index = distance, i
        if farthest > tolerance:
            keep[index] = True
            stack.append((first, index))
            stack.append((index, last))
    return [p for p, k in zip(points, keep) if k]


def simplify_ring(ring, tolerance):
    # Split at the point farthest from the first so both halves have distinct ends.
    far = max(range(len(ring)), key=lambda i: (ring[i][0] - ring[0][0]) ** 2 + (ring[i][1] - ring[0][1]) ** 2)
    first = simplify(ring[: far + 1], tolerance)
    second = simplify(ring[far:] + [ring[0]], tolerance)
    return first + second[1:-1]


def area(ring):
    return abs(sum(x0 * y1 - x1 * y0 for (x0, y0), (x1, y1) in zip(ring, ring[1:] + ring[:1]))) / 2


def varint(value):
    value = (value << 1) ^ (value >> 63)  # zigzag
    out = bytearray()
    while True:
        byte = value & 0x7F
        value >>= 7
        if value:
            out.append(byte | 0x80)
        else:
            out.append(byte)
            return bytes(out)


def encode(rings):
    body = bytearray()
    total = 0
    for ring in rings:
        body += struct.pack("<I", len(ring))
        total += len(ring)
        last = (0, 0)
        for lon, lat in ring:
            point = (round(lon * UNITS_PER_DEGREE), round(lat * UNITS_PER_DEGREE))
            body += varint(point[0] - last[0]) + varint(point[1] - last[1])
            last = point
    return b"SVLAND01" + struct.pack("<II", len(rings), total) + bytes(body)


def main():
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(__file__), "..", "..", "data", "map", "land.bin")
    rings = []
    for ring in chain(read_pieces()):
        if area(ring) < MINIMUM_AREA:
            continue
        simplified = simplify_ring(ring, TOLERANCE)
        if len(simplified) >= 3:
            rings.append(simplified)
    data = encode(rings)
    with open(output, "wb") as file:
        file.write(data)
    print(f"{len(rings)} rings, {sum(map(len, rings))} points, {len(data)} bytes -> {output}")


if __name__ == "__main__":
    main()
