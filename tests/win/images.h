// Small image files written by the tests: BMP and PNG with a chosen resolution.
#pragma once

#include <cstdint>
#include <string>

namespace rbtest {

// Bottom-up BMP; 24 bits, or 8, 4 or 1 bit with a grey palette. The vertical resolution
// is the horizontal one unless given.
std::string MakeBmp(int width, int height, int bitsPerPixel, int pixelsPerMeter,
                    int verticalPixelsPerMeter = 0);

// Truecolour PNG (8 bits per channel, 3 channels) with a pHYs chunk in pixels per metre;
// stored deflate blocks.
std::string MakePng(int width, int height, std::uint32_t pixelsPerMeter);

// Folder of the committed fixtures (JPEG, GIF).
std::wstring FixtureDir();

} // namespace rbtest
