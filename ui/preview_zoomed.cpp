// Zoomed preview: each block of scale x scale image pixels shown as the average of four samples
// of the transform, taken at its quarter points.
#include <algorithm>
#include <cstddef>

#include <emmintrin.h>

#include "transform/transform_pass.h"
#include "ui/preview_canvas_lines.h"
#include "ui/preview_lines.h"
#include "ui/preview_render.h"

namespace {

using namespace preview_canvas_lines;

// The two positions that block `block` of an axis samples: its quarter points, rounded down, in
// the block cut at the image's far edge.
struct BlockSamples {
    std::int32_t first;
    std::int32_t second;
};

BlockSamples SamplesOf(std::int32_t block, std::int32_t scale, std::int32_t imageSize) noexcept {
    const std::int32_t start = block * scale;
    const std::int32_t size = std::min(scale, imageSize - start);
    return {start + size / 4, start + static_cast<std::int32_t>(std::int64_t{size} * 3 / 4)};
}

// The quarter points of blocks from..end-1 along a line, two a block, in increasing order.
void QuartersOf(std::int32_t from, std::int32_t end, std::int32_t scale, std::int32_t imageSize,
                std::int32_t* at) noexcept {
    for (std::int32_t block = from; block < end; ++block, at += 2) {
        const BlockSamples samples = SamplesOf(block, scale, imageSize);
        at[0] = samples.first;
        at[1] = samples.second;
    }
}

// Where line `line` of a render starts in the image's pixels and mask, and the distance between
// its positions.
template <bool kRows>
std::ptrdiff_t LineStart(const PreviewSource& source, std::int32_t line) noexcept {
    return kRows ? PixelIndex(0, line, source.width) : line;
}
template <bool kRows>
std::ptrdiff_t LineStep(const PreviewSource& source) noexcept {
    return kRows ? 1 : source.width;
}

// Takes a line's samples in the order the walk visits them. Meanwhile it asks for the mask bytes
// of the same positions of the next sampled line (`ahead`, null for none), which that line's
// KeepMaskedSource reads: they arrive while this line is computed.
struct SampleSink {
    Pixel32* next;
    const std::uint8_t* ahead;
    std::ptrdiff_t step;
    void Put(std::int32_t p, Pixel32 pixel) noexcept {
        *next++ = pixel;
        if (ahead != nullptr) {
            _mm_prefetch(reinterpret_cast<const char*>(ahead + p * step), _MM_HINT_T0);
        }
    }
    void PutEach(const std::int32_t* at, const Pixel32* values, std::int32_t count) noexcept {
        // Four at a time: a chunk is short, and the string copy the compiler would inline for
        // it starts too slowly on some processors.
        std::int32_t j = 0;
        for (; j + 4 <= count; j += 4) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(next + j),
                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j)));
        }
        for (; j < count; ++j) next[j] = values[j];
        next += count;
        AskAhead(at, count);
    }
    void PutSame(const std::int32_t* at, Pixel32 value, std::int32_t count) noexcept {
        std::fill(next, next + count, value);
        next += count;
        AskAhead(at, count);
    }
    // The mask bytes of positions at[0..count), in increasing order. Neighbouring positions of a
    // row share their cache lines, each asked for once; a column's each have their own.
    void AskAhead(const std::int32_t* at, std::int32_t count) const noexcept {
        if (ahead == nullptr || count <= 0) return;
        if (step == 1) {
            const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(ahead + at[count - 1]);
            for (std::uintptr_t line = reinterpret_cast<std::uintptr_t>(ahead + at[0]) / 64 * 64;
                 line <= last; line += 64) {
                _mm_prefetch(reinterpret_cast<const char*>(line), _MM_HINT_T0);
            }
            return;
        }
        for (std::int32_t j = 0; j < count; ++j) {
            _mm_prefetch(reinterpret_cast<const char*>(ahead + at[j] * step), _MM_HINT_T0);
        }
    }
};

// Masked positions keep the source: the walk of a sampled line ignores the mask, and the source
// of its masked positions is put back afterwards, in one loop over the line's positions, which
// are in increasing order.
template <bool kRows>
void KeepMaskedSource(const PreviewSource& source, const LineSpan* span, std::int32_t line,
                      const std::int32_t* at, std::int32_t count, Pixel32* out) noexcept {
    if (source.mask == nullptr) return;
    const std::ptrdiff_t step = LineStep<kRows>(source);
    const std::uint8_t* mask = source.mask + LineStart<kRows>(source, line);
    const Pixel32* pixels = source.pixels + LineStart<kRows>(source, line);
    if (span != nullptr && span->solid) {
        // Selected exactly inside the span: the mask itself is not read, and a line whose
        // positions all lie inside it (its first and last do) keeps no source.
        const std::int32_t from = span->from;
        const std::int32_t to = span->to;
        if (count == 0 || (at[0] >= from && at[count - 1] < to)) return;
        for (std::int32_t j = 0; j < count; ++j) {
            if (at[j] < from || at[j] >= to) out[j] = pixels[at[j] * step];
        }
        return;
    }
    const auto keep = [&](std::int32_t from, std::int32_t to) {
        for (std::int32_t j = from; j < to; ++j) {
            const std::ptrdiff_t k = at[j] * step;
            if (mask[k] == kUnselected) out[j] = pixels[k];
        }
    };
    // Four positions are tested at once: most lines have no masked position.
    std::int32_t j = 0;
    for (; j + 4 <= count; j += 4) {
        const bool any =
            (mask[at[j] * step] == kUnselected) | (mask[at[j + 1] * step] == kUnselected) |
            (mask[at[j + 2] * step] == kUnselected) | (mask[at[j + 3] * step] == kUnselected);
        if (any) keep(j, j + 4);
    }
    keep(j, count);
}

// What the 1:1 preview shows at the quarter points at[0..count) along `line`, into `out`, two a
// block: the source before lo and from hi on, and the line's walk between. `nextLine` is the
// line sampled next (-1 for none).
template <bool kRows>
void SampleLine(const PreviewSource& source, const SelectionSpans* spans,
                const preview_lines::PreviewLines& lines, std::int32_t line, std::int32_t nextLine,
                const std::int32_t* at, std::int32_t count, Pixel32* out) noexcept {
    const auto spanOf = [&](std::int32_t k) -> const LineSpan* {
        if (spans == nullptr) return nullptr;
        return kRows ? &spans->Row(k) : &spans->Column(k);
    };
    using View = preview_lines::LineView<kRows, SampleSink>;
    const PreviewSource unmasked{source.pixels, source.width, source.height, nullptr};
    // A next line whose span is solid has no mask bytes to ask for.
    const LineSpan* nextSpan = nextLine < 0 ? nullptr : spanOf(nextLine);
    const std::uint8_t* ahead =
        source.mask == nullptr || nextLine < 0 || (nextSpan != nullptr && nextSpan->solid)
            ? nullptr
            : source.mask + LineStart<kRows>(source, nextLine);
    View view(unmasked, line, SampleSink{out, ahead, LineStep<kRows>(source)}, lines.Moved());
    preview_lines::IsolatedPositions positions(at, count);
    const auto copySource = [&] {
        for (; positions.More(); positions.Advance()) {
            view.Put(positions.p, view.Source(positions.p));
        }
    };
    if (lines.transforms && lines.Covers(line)) {
        positions.Limit(lines.geometry.lo);
        copySource();
        positions.Limit(lines.geometry.hi);
        preview_lines::LineWalk<View>(lines, view, line).Run(positions);
        positions.Limit(std::numeric_limits<std::int32_t>::max());
    }
    copySource();
    KeepMaskedSource<kRows>(source, spanOf(line), line, at, count, out);
}

// The average of four pixels as they are seen: alpha averaged, each colour channel averaged
// weighted by alpha (halves rounded up), so that the colour a transparent pixel happens to carry
// does not show. Four pixels of one alpha give the plain average of each channel.
Pixel32 AverageOfFour(const Pixel32 (&samples)[4]) noexcept {
    const std::uint32_t alpha = samples[0] >> 24;
    if ((samples[1] >> 24) == alpha && (samples[2] >> 24) == alpha && (samples[3] >> 24) == alpha) {
        // One alpha, the common case: the weights cancel. Two channels a word, each sum of four
        // bytes (at most 1020) in its own 16 bits.
        std::uint32_t redBlue = 0x00020002u;
        std::uint32_t alphaGreen = 0x00020002u;
        for (const Pixel32 sample : samples) {
            redBlue += sample & 0x00FF00FFu;
            alphaGreen += sample >> 8 & 0x00FF00FFu;
        }
        return (redBlue >> 2 & 0x00FF00FFu) | (alphaGreen >> 2 & 0x00FF00FFu) << 8;
    }
    std::uint32_t alphas = 0;
    for (const Pixel32 sample : samples) alphas += sample >> 24;
    Pixel32 average = ((alphas + 2) / 4) << 24;
    for (int channel = 0; channel < 3; ++channel) {
        std::uint32_t sum = alphas / 2;
        for (const Pixel32 sample : samples) sum += Channel(sample, channel) * (sample >> 24);
        average |= (sum / alphas) << (8 * channel);
    }
    return average;
}

// What blocks 0..count-1 show over the checkerboard, each the average of its four samples, into
// the canvas words word[0], word[stride], ...: block k lies k canvas pixels along the line from
// (x, y). Where the four share one alpha (the common case) the weights cancel: each channel's
// four bytes are summed in 16 bits, two blocks a register, and rounded half up. Where all are
// opaque (the commoner case), so are the averages, and their colours are the canvas words.
template <bool kRows>
void ShowBlocks(const Pixel32* near, const Pixel32* far, std::int32_t count, std::int32_t x,
                std::int32_t y, std::uint32_t* word, std::ptrdiff_t stride) noexcept {
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    const auto four = [&](std::int32_t i) {
        return AverageOfFour({near[2 * i], near[2 * i + 1], far[2 * i], far[2 * i + 1]});
    };
    const auto show = [&](std::int32_t k, Pixel32 average) {
        word[k * stride] = CompositeOverBoard(x + (kRows ? k : 0), y + (kRows ? 0 : k), average,
                                              static_cast<std::uint8_t>(average >> 24));
    };
    std::int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128i n = _mm_loadu_si128(reinterpret_cast<const __m128i*>(near + 2 * i));
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(far + 2 * i));
        // 16-bit channels: the first block's two near and two far samples, then the second's.
        const __m128i first = _mm_add_epi16(_mm_unpacklo_epi8(n, zero), _mm_unpacklo_epi8(f, zero));
        const __m128i second =
            _mm_add_epi16(_mm_unpackhi_epi8(n, zero), _mm_unpackhi_epi8(f, zero));
        __m128i sums =
            _mm_add_epi16(_mm_unpacklo_epi64(first, second), _mm_unpackhi_epi64(first, second));
        sums = _mm_srli_epi16(_mm_add_epi16(sums, two), 2);
        const __m128i averages = _mm_packus_epi16(sums, sums);
        if (AllOpaque(_mm_and_si128(n, f))) {
            const __m128i words = OpaqueWords(averages);
            word[i * stride] = Lane(words, 0);
            word[(i + 1) * stride] = Lane(words, 1);
            continue;
        }
        // Where a block's samples differ in alpha (a lane's near sample from its far one or
        // from its neighbour), its general average replaces the plain one.
        const __m128i differ =
            _mm_or_si128(_mm_xor_si128(n, f), _mm_xor_si128(n, _mm_shuffle_epi32(n, 0xB1)));
        const int same =
            _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(_mm_srli_epi32(differ, 24), zero)));
        show(i, (same & 3) == 3 ? Lane(averages, 0) : four(i));
        show(i + 1, (same & 12) == 12 ? Lane(averages, 1) : four(i + 1));
    }
    if (i < count) show(i, four(i));
}

// Blocks sampled in one go along a line: their samples stay on the stack.
constexpr std::int32_t kChunkBlocks = 256;

// Visits the visible blocks a chunk of a line of blocks at a time (rows of blocks for shapes that
// rebuild rows, columns of blocks for the others): each of a block line's two sampled lines is
// walked once over the quarter points of the chunk's blocks, then its canvas pixels are written.
template <bool kRows>
void RenderZoomedLines(CanvasPixels& canvas, const PreviewSource& source,
                       const PreviewRegion& blocks, std::int32_t scale,
                       const preview_lines::PreviewLines& lines,
                       const SelectionSpans* given) noexcept {
    // Spans of another mask or size are not used.
    const SelectionSpans* spans =
        given != nullptr && given->Describe(source.mask, source.width, source.height) ? given
                                                                                      : nullptr;
    scale = std::max(scale, 1);
    PreviewRegion region{};
    const CanvasSize extent{ZoomedExtent(source.width, scale), ZoomedExtent(source.height, scale)};
    if (!DrawableRegion(canvas, source, blocks, extent, &region)) return;
    const CanvasPoint& dest = region.destOrigin;
    const std::int32_t across = kRows ? region.size.height : region.size.width;
    const std::int32_t along = kRows ? region.size.width : region.size.height;
    const std::int32_t acrossFrom = kRows ? region.sourceOrigin.y : region.sourceOrigin.x;
    const std::int32_t alongFrom = kRows ? region.sourceOrigin.x : region.sourceOrigin.y;
    const std::int32_t acrossSize = kRows ? source.height : source.width;
    const std::int32_t alongSize = kRows ? source.width : source.height;
    const std::ptrdiff_t stride = kRows ? 1 : canvas.Width();  // canvas words along a line
    // The image lines the blocks shown span: the moved ones among them are made ready.
    const auto firstLineOf = [&](std::int32_t block) {
        return static_cast<std::int32_t>(
            std::min<std::int64_t>(std::int64_t{block} * scale, acrossSize));
    };
    lines.Ensure(firstLineOf(acrossFrom), firstLineOf(acrossFrom + across));
    std::int32_t quarters[2 * kChunkBlocks];
    Pixel32 near[2 * kChunkBlocks];
    Pixel32 far[2 * kChunkBlocks];
    for (std::int32_t chunk = 0; chunk < along; chunk += kChunkBlocks) {
        const std::int32_t count = std::min(kChunkBlocks, along - chunk);
        QuartersOf(alongFrom + chunk, alongFrom + chunk + count, scale, alongSize, quarters);
        for (std::int32_t j = 0; j < across; ++j) {
            const BlockSamples lineAt = SamplesOf(acrossFrom + j, scale, acrossSize);
            const std::int32_t nextLine =
                j + 1 < across ? SamplesOf(acrossFrom + j + 1, scale, acrossSize).first : -1;
            SampleLine<kRows>(source, spans, lines, lineAt.first, lineAt.second, quarters,
                              2 * count, near);
            SampleLine<kRows>(source, spans, lines, lineAt.second, nextLine, quarters, 2 * count,
                              far);
            const std::int32_t x = dest.x + (kRows ? chunk : j);
            const std::int32_t y = dest.y + (kRows ? j : chunk);
            ShowBlocks<kRows>(near, far, count, x, y, canvas.WordInside(x, y), stride);
        }
    }
}

}  // namespace

void RenderZoomedSourcePreview(CanvasPixels& canvas, const PreviewSource& source,
                               const PreviewRegion& blocks, std::int32_t scale) noexcept {
    const preview_lines::PreviewLines unchanged(source, FillParams{}, true, 0, 0,
                                                LineProfile::kClassic);
    RenderZoomedLines<true>(canvas, source, blocks, scale, unchanged, nullptr);
}

void RenderZoomedTrapezoidPreview(CanvasPixels& canvas, const PreviewSource& source,
                                  const PreviewRegion& blocks, std::int32_t scale,
                                  std::int32_t shape, std::int32_t difference, LineProfile profile,
                                  const FillParams& fill, const SelectionSpans* spans,
                                  MovedLines* moved) noexcept {
    const bool rows = ShapeRebuildsRows(shape);
    const preview_lines::PreviewLines lines(source, fill, rows, shape, difference, profile, moved);
    if (rows) {
        RenderZoomedLines<true>(canvas, source, blocks, scale, lines, spans);
    } else {
        RenderZoomedLines<false>(canvas, source, blocks, scale, lines, spans);
    }
}
