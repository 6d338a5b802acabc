#include "images.h"

#include "support.h"

namespace rbtest {

namespace {

void Put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, std::uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}
void Put32Be(std::string& s, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((v >> shift) & 0xFF);
}

std::uint32_t Crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string Chunk(const char* type, const std::string& data) {
    std::string out;
    Put32Be(out, static_cast<std::uint32_t>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    Put32Be(out, Crc32(body));
    return out;
}

} // namespace

std::string MakeBmp(int width, int height, int bitsPerPixel, int pixelsPerMeter,
                    int verticalPixelsPerMeter) {
    int colours = bitsPerPixel <= 8 ? 1 << bitsPerPixel : 0;
    int stride = ((width * bitsPerPixel + 31) / 32) * 4;
    std::string pixels;
    for (int y = 0; y < height; ++y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            if (bitsPerPixel == 24) {
                row[x * 3] = static_cast<char>(x * 7);
                row[x * 3 + 1] = static_cast<char>(y * 5);
                row[x * 3 + 2] = static_cast<char>(120);
            } else if (bitsPerPixel == 8) {
                row[x] = static_cast<char>((x + y) & 0xFF);
            } else if (bitsPerPixel == 1 && ((x + y) & 1)) {
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
            } else if (bitsPerPixel == 4) {
                row[x / 2] = static_cast<char>(row[x / 2] | (((x + y) & 15) << (x % 2 ? 0 : 4)));
            }
        }
        pixels += row;
    }
    std::string info;
    Put32(info, 40);
    Put32(info, static_cast<std::uint32_t>(width));
    Put32(info, static_cast<std::uint32_t>(height));
    Put16(info, 1);
    Put16(info, static_cast<std::uint32_t>(bitsPerPixel));
    Put32(info, 0);
    Put32(info, static_cast<std::uint32_t>(pixels.size()));
    Put32(info, static_cast<std::uint32_t>(pixelsPerMeter));
    Put32(info, static_cast<std::uint32_t>(verticalPixelsPerMeter ? verticalPixelsPerMeter
                                                                  : pixelsPerMeter));
    Put32(info, static_cast<std::uint32_t>(colours));
    Put32(info, 0);
    for (int i = 0; i < colours; ++i) {
        unsigned char grey = static_cast<unsigned char>(colours > 1 ? i * 255 / (colours - 1) : 0);
        info += static_cast<char>(grey);
        info += static_cast<char>(grey);
        info += static_cast<char>(grey);
        info += '\0';
    }
    std::string file = "BM";
    std::uint32_t offset = 14 + static_cast<std::uint32_t>(info.size());
    Put32(file, offset + static_cast<std::uint32_t>(pixels.size()));
    Put32(file, 0);
    Put32(file, offset);
    return file + info + pixels;
}

std::string MakePng(int width, int height, std::uint32_t pixelsPerMeter) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x) {
            raw += static_cast<char>(x * 9);
            raw += static_cast<char>(y * 13);
            raw += static_cast<char>(200);
        }
    }
    // zlib stream of stored blocks.
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
        z += static_cast<char>(at + length >= raw.size() ? 1 : 0);
        Put16(z, static_cast<std::uint32_t>(length));
        Put16(z, static_cast<std::uint32_t>(~length & 0xFFFF));
        z.append(raw, at, length);
        if (raw.empty())
            break;
    }
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32Be(z, (b << 16) | a);

    std::string header;
    Put32Be(header, static_cast<std::uint32_t>(width));
    Put32Be(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string phys;
    Put32Be(phys, pixelsPerMeter);
    Put32Be(phys, pixelsPerMeter);
    phys += '\x01';
    return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) + Chunk("pHYs", phys) +
           Chunk("IDAT", z) + Chunk("IEND", "");
}

std::wstring FixtureDir() {
    return UnixToWindowsPath(RB_FIXTURE_DIR);
}

} // namespace rbtest
