// Draws the program's icon, a firmware arrow going down into a chip on a blue tile, and
// writes it as a Windows .ico: 16, 32 and 48 px as 32-bit bitmaps with AND masks, 256 px
// as PNG. Geometry and blending are integer-only, so every machine writes the same bytes.
//   make_icon <output.ico>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Int = std::int64_t;
using Bytes = std::vector<std::uint8_t>;

constexpr Int kDesign = 1024;     // shapes are laid out on a 1024-unit square
constexpr Int kSub = 8;           // 8x8 samples per pixel
constexpr Int kPixel = 2 * kSub;  // sample units per pixel: samples sit on odd units, edges on even

struct Rgba {
  Int r, g, b, a;
};

// A vertical gradient, evaluated once per pixel row.
struct Fill {
  Rgba top, bottom;
  Int y0 = 0, y1 = 1;  // sample units; solid when top == bottom

  Rgba At(Int y) const {
    const Int span = std::max<Int>(y1 - y0, 1), k = std::clamp<Int>(y - y0, 0, span);
    auto mix = [&](Int a, Int b) { return (a * (span - k) + b * k + span / 2) / span; };
    return {mix(top.r, bottom.r), mix(top.g, bottom.g), mix(top.b, bottom.b), mix(top.a, bottom.a)};
  }
};

struct Point {
  Int x, y;
};

// A rounded rectangle, or a polygon when points is set; all in sample units.
struct Shape {
  Int x0 = 0, y0 = 0, x1 = 0, y1 = 0, radius = 0;
  std::vector<Point> points;

  bool Contains(Int x, Int y) const {
    if (!points.empty()) return InPolygon(x, y);
    if (x < x0 || x > x1 || y < y0 || y > y1) return false;
    const Int cx = std::clamp(x, x0 + radius, x1 - radius), cy = std::clamp(y, y0 + radius, y1 - radius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  }

  // Even-odd crossing test, cross-multiplied so no division rounds differently anywhere.
  bool InPolygon(Int x, Int y) const {
    bool inside = false;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
      const Point& a = points[i];
      const Point& b = points[j];
      if ((a.y > y) == (b.y > y)) continue;
      const Int lhs = (x - a.x) * (b.y - a.y), rhs = (y - a.y) * (b.x - a.x);
      if (b.y > a.y ? lhs < rhs : lhs > rhs) inside = !inside;
    }
    return inside;
  }
};

struct Layer {
  Shape shape;
  Fill fill;
};

// Maps design units onto one icon size. Below 64 px edges snap to whole pixels, so the
// small images get crisp edges instead of a half-covered grey row along every side.
struct Grid {
  int size;

  Int Unit() const { return size < 64 ? kPixel : 2; }
  Int Snap(Int v) const { return (v + Unit() / 2) / Unit() * Unit(); }
  Int operator()(Int design) const {
    const Int den = kDesign * Unit();
    return (design * kPixel * size + den / 2) / den * Unit();
  }
  Int Px(Int n) const { return n * kPixel; }
};

constexpr Rgba kTileTop{38, 150, 214, 255}, kTileBottom{14, 62, 138, 255};
constexpr Rgba kRim{8, 38, 88, 255};
constexpr Rgba kChipTop{246, 248, 250, 255}, kChipBottom{196, 206, 216, 255};
constexpr Rgba kPin{214, 222, 230, 255};
constexpr Rgba kDie{44, 62, 84, 255};
constexpr Rgba kArrowTop{255, 204, 64, 255}, kArrowBottom{255, 150, 0, 255};

Fill Solid(Rgba c) { return {c, c, 0, 1}; }

Shape Box(Int x0, Int y0, Int x1, Int y1, Int radius = 0) { return {x0, y0, x1, y1, radius, {}}; }

// A down arrow with a 90-degree head: the head's sides run at 45 degrees.
Shape Arrow(Int cx, Int halfShaft, Int halfHead, Int top, Int headTop) {
  const Int tip = headTop + halfHead;
  return {0,
          0,
          0,
          0,
          0,
          {{cx - halfShaft, top},
           {cx + halfShaft, top},
           {cx + halfShaft, headTop},
           {cx + halfHead, headTop},
           {cx, tip},
           {cx - halfHead, headTop},
           {cx - halfShaft, headTop}}};
}

// Edges sit on multiples of 64 design units, whole pixels at 16 px; larger sizes add detail.
std::vector<Layer> Design(const Grid& g) {
  std::vector<Layer> layers;

  // The tile, with a darker rim so it stands out on light and dark backgrounds alike.
  const Int lo = g(24), hi = g(kDesign - 24), rim = g.Px(g.size >= 256 ? 3 : 1), round = g(176);
  layers.push_back({Box(lo, lo, hi, hi, round), Solid(kRim)});
  layers.push_back({Box(lo + rim, lo + rim, hi - rim, hi - rim, round - rim), {kTileTop, kTileBottom, lo, hi}});

  // 16 and 32 px need every row; larger sizes centre the drawing on the tile.
  const Int dy = g.size >= 48 ? 32 : 0;
  auto y = [&](Int v) { return g(v + dy); };

  // The chip, with pins on both sides spread evenly along its height.
  const Int chipX0 = g(320), chipX1 = g(704), chipY0 = y(576), chipY1 = y(896);
  const Int pins = g.size <= 16 ? 2 : g.size < 256 ? 3 : 4;
  const Int pinOut = std::max(g.Px(1), g(72)), pinHalf = std::max(g.Px(1), g(40)) / 2;
  for (Int i = 0; i < pins; ++i) {
    const Int c = chipY0 + (chipY1 - chipY0) * (2 * i + 1) / (2 * pins);
    const Int y0 = g.Snap(c - pinHalf), y1 = y0 + 2 * pinHalf;
    layers.push_back({Box(chipX0 - pinOut, y0, chipX0 + pinOut, y1, g(8)), Solid(kPin)});
    layers.push_back({Box(chipX1 - pinOut, y0, chipX1 + pinOut, y1, g(8)), Solid(kPin)});
  }
  const Int chipRound = g.size >= 48 ? g(32) : 0;  // a rounded corner would just blur a 16 or 32 px chip
  layers.push_back({Box(chipX0, chipY0, chipX1, chipY1, chipRound), {kChipTop, kChipBottom, chipY0, chipY1}});
  layers.push_back({Box(g(384), y(704), g(640), y(832), g(24)), Solid(kDie)});

  // The arrow pointing down into the chip.
  const Int top = y(64), headTop = y(256), halfHead = g(256);
  const Fill amber{kArrowTop, kArrowBottom, top, headTop + halfHead};
  if (g.size > 16) {
    layers.push_back({Arrow(g(512), g(64), halfHead, top, headTop), amber});
  } else {
    // Stepped one pixel per row: a smoothed 45-degree edge would mix amber and blue into olive.
    layers.push_back({Box(g(512) - g(64), top, g(512) + g(64), headTop), amber});
    for (Int row = 0; row * g.Px(1) < halfHead; ++row)
      layers.push_back({Box(g(512) - halfHead + row * g.Px(1), headTop + row * g.Px(1),
                            g(512) + halfHead - row * g.Px(1), headTop + (row + 1) * g.Px(1)),
                        amber});
  }
  return layers;
}

// Straight (not premultiplied) 8-bit RGBA, top row first.
Bytes Render(int size) {
  const Grid g{size};
  constexpr Int kFull = 255 * kSub * kSub;                                     // alpha of a fully covered, opaque pixel
  std::vector<std::array<Int, 4>> acc(static_cast<std::size_t>(size) * size);  // premultiplied
  for (const Layer& layer : Design(g)) {
    for (int y = 0; y < size; ++y) {
      const Rgba c = layer.fill.At((2 * y + 1) * kSub);
      for (int x = 0; x < size; ++x) {
        Int covered = 0;
        for (Int sy = 0; sy < kSub; ++sy)
          for (Int sx = 0; sx < kSub; ++sx)
            covered += layer.shape.Contains(x * kPixel + 2 * sx + 1, y * kPixel + 2 * sy + 1);
        if (covered == 0) continue;
        const Int alpha = c.a * covered;
        auto& p = acc[static_cast<std::size_t>(y) * size + x];
        const Int color[3] = {c.r, c.g, c.b};
        for (int i = 0; i < 3; ++i) p[i] = color[i] * alpha + (p[i] * (kFull - alpha) + kFull / 2) / kFull;
        p[3] = alpha + (p[3] * (kFull - alpha) + kFull / 2) / kFull;
      }
    }
  }
  Bytes rgba;
  for (const auto& p : acc) {
    for (int i = 0; i < 3; ++i) {
      const Int straight = p[3] ? std::min<Int>((p[i] + p[3] / 2) / p[3], 255) : 0;
      rgba.push_back(static_cast<std::uint8_t>(straight));
    }
    rgba.push_back(static_cast<std::uint8_t>((p[3] * 255 + kFull / 2) / kFull));
  }
  return rgba;
}

void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32BigEndian(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

// BITMAPINFOHEADER, BGRA rows bottom-up, then the AND mask (set where transparent);
// the header's height counts both halves.
Bytes IconBitmap(int size, const Bytes& rgba) {
  const std::size_t maskRow = (static_cast<std::size_t>(size) + 31) / 32 * 4;
  Bytes out;
  Put32(out, 40);
  Put32(out, size);
  Put32(out, 2 * size);
  Put16(out, 1);   // planes
  Put16(out, 32);  // bits per pixel
  Put32(out, 0);   // BI_RGB
  Put32(out, static_cast<std::uint32_t>(size * size * 4 + maskRow * size));
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution, palette
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) {
      const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
      out.insert(out.end(), {p[2], p[1], p[0], p[3]});
    }
  for (int y = size - 1; y >= 0; --y) {
    Bytes row(maskRow, 0);
    for (int x = 0; x < size; ++x)
      if (rgba[(static_cast<std::size_t>(y) * size + x) * 4 + 3] == 0) row[x / 8] |= 0x80 >> (x % 8);
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

void PngChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32BigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32BigEndian(out, static_cast<std::uint32_t>(crc32(0, &out[start], static_cast<uInt>(out.size() - start))));
}

// 8-bit RGBA, every row with filter 0 (none); empty on a zlib failure.
Bytes Png(int size, const Bytes& rgba) {
  Bytes raw;
  const std::size_t stride = static_cast<std::size_t>(size) * 4;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgba.begin() + y * stride, rgba.begin() + (y + 1) * stride);
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  Bytes packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9) != Z_OK) return {};
  packed.resize(packedSize);

  Bytes header;
  Put32BigEndian(header, size);
  Put32BigEndian(header, size);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, deflate, no interlace
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PngChunk(out, "IHDR", header);
  PngChunk(out, "IDAT", packed);
  PngChunk(out, "IEND", {});
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.ico>\n", argv[0]);
    return 2;
  }
  const int sizes[] = {16, 32, 48, 256};
  std::vector<Bytes> images;
  for (int size : sizes) {
    const Bytes rgba = Render(size);
    images.push_back(size < 256 ? IconBitmap(size, rgba) : Png(size, rgba));
    if (images.back().empty()) {
      std::fprintf(stderr, "could not compress the %d px image\n", size);
      return 1;
    }
  }

  Bytes ico;
  Put16(ico, 0);  // reserved
  Put16(ico, 1);  // icon, not cursor
  Put16(ico, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto side = static_cast<std::uint8_t>(sizes[i] % 256);  // 0 means 256
    ico.insert(ico.end(), {side, side, 0, 0});                    // no palette, reserved
    Put16(ico, 1);                                                // planes
    Put16(ico, 32);                                               // bits per pixel
    Put32(ico, static_cast<std::uint32_t>(images[i].size()));
    Put32(ico, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) ico.insert(ico.end(), image.begin(), image.end());

  std::FILE* file = std::fopen(argv[1], "wb");
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  const bool written = std::fwrite(ico.data(), 1, ico.size(), file) == ico.size();
  if (std::fclose(file) != 0 || !written) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
