// What a preview canvas asks of the dialog that shows it: the image's size, its rendering at 1:1
// and zoomed, where the correction shown takes a point of the image (for what the canvas draws
// over the picture), and the module whose cursors it shows.
#pragma once

#include <cstdint>

#include "platform/win32.h"
#include "ui/canvas_pixels.h"
#include "ui/preview_guides.h"

class CanvasBase;

class PreviewHost {
   public:
    PreviewHost() = default;
    virtual ~PreviewHost() = default;
    PreviewHost(const PreviewHost&) = delete;
    PreviewHost& operator=(const PreviewHost&) = delete;

    [[nodiscard]] virtual CanvasSize PreviewImageSize() const noexcept = 0;
    // Writes the preview of the image rectangle at `sourceOrigin` with extent `size` into the
    // canvas at `destOrigin`; true when the canvas is ready to be shown. The canvas only asks
    // for rectangles inside both the image and itself.
    virtual bool RenderPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                               const CanvasPoint& sourceOrigin, const CanvasSize& size) = 0;
    // The same at 1:`scale` (2 or more): canvas pixels from `destOrigin` of extent `size` show
    // the blocks of scale x scale image pixels from `blockOrigin`.
    virtual bool RenderZoomedPreview(CanvasBase& target, const CanvasPoint& destOrigin,
                                     const CanvasPoint& blockOrigin, const CanvasSize& size,
                                     std::int32_t scale) = 0;
    // Where the picture as rendered now shows the image point `at`, and the image point it
    // shows at `shown`.
    [[nodiscard]] virtual ImagePoint ShownPoint(const ImagePoint& at) const noexcept = 0;
    [[nodiscard]] virtual ImagePoint SourcePoint(const ImagePoint& shown) const noexcept = 0;
    // The module whose cursor resources the canvas loads.
    [[nodiscard]] virtual HINSTANCE PreviewResources() const noexcept = 0;
};
