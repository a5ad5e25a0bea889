#include "render/texture_sheet.h"

#include <algorithm>

#include "render/model_view.h"

namespace kesh {

namespace {

constexpr int64_t kGap = 8;

void Blit(const RgbImage& picture, int64_t zoom, int32_t left, int32_t top, RgbImage& sheet) {
    for (int32_t y = 0; y < picture.height; ++y) {
        for (int32_t x = 0; x < picture.width; ++x) {
            const uint8_t* texel = picture.At(x, y);
            for (int64_t dy = 0; dy < zoom; ++dy) {
                for (int64_t dx = 0; dx < zoom; ++dx) {
                    std::copy_n(texel, 3,
                                sheet.At(static_cast<int32_t>(left + x * zoom + dx),
                                         static_cast<int32_t>(top + y * zoom + dy)));
                }
            }
        }
    }
}

}  // namespace

int32_t ZoomForWidth(std::span<const TexturePair> pairs, int32_t minimumWidth) {
    int32_t narrowest = 0;
    for (const TexturePair& pair : pairs) {
        for (const RgbImage* picture : {&pair.original, &pair.quantised}) {
            if (!picture->empty() && (narrowest == 0 || picture->width < narrowest))
                narrowest = picture->width;
        }
    }
    if (narrowest == 0) return 1;
    return std::max(1, (minimumWidth + narrowest - 1) / narrowest);
}

bool DrawTextureSheet(std::span<const TexturePair> pairs, int32_t zoom, int32_t maxSide,
                      RgbImage& sheet, std::string& error) {
    if (zoom < 1) {
        error = "the zoom must be 1 or more";
        return false;
    }
    int64_t widest = 0;
    int64_t height = kGap;
    for (const TexturePair& pair : pairs) {
        widest = std::max<int64_t>({widest, pair.original.width, pair.quantised.width});
        height += int64_t{std::max(pair.original.height, pair.quantised.height)} * zoom + kGap;
        if (height > maxSide) break;
    }
    const int64_t width = 3 * kGap + 2 * widest * zoom;
    if (widest == 0) {
        error = "no texture to draw";
        return false;
    }
    if (width > maxSide || height > maxSide) {
        error = "the sheet would be larger than " + std::to_string(maxSide) +
                " pixels on a side; choose a smaller --zoom";
        return false;
    }
    sheet = RgbImage(static_cast<int32_t>(width), static_cast<int32_t>(height), kBackground);
    int64_t top = kGap;
    for (const TexturePair& pair : pairs) {
        Blit(pair.original, zoom, static_cast<int32_t>(kGap), static_cast<int32_t>(top), sheet);
        Blit(pair.quantised, zoom, static_cast<int32_t>(2 * kGap + widest * zoom),
             static_cast<int32_t>(top), sheet);
        top += int64_t{std::max(pair.original.height, pair.quantised.height)} * zoom + kGap;
    }
    return true;
}

}  // namespace kesh
