#include "app/tile_stitcher.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "app/tile_split.h"
#include "platform/file_writer.h"
#include "platform/png_reader.h"
#include "platform/png_row_reader.h"
#include "platform/png_writer.h"
#include "platform/regular_file.h"

namespace app {

namespace {

// What a tile tells of itself before its pixels are decoded.
struct TileHead {
    TileLabel label;
    // The whole picture's texts: every text of the tile but its label, in file order.
    std::vector<platform::PngText> texts;
    int width = 0;
    int height = 0;
};

bool sameTexts(const std::vector<platform::PngText>& a, const std::vector<platform::PngText>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return x.keyword == y.keyword && x.text == y.text;
    });
}

// The tile's header and texts, or why it cannot be read; file is what was opened.
platform::PngRead readTileHead(const std::string& path,
                               std::optional<platform::RegularFile>& file) {
    int error = 0;
    file = platform::RegularFile::open(path, &error);
    if (!file) {
        platform::PngRead failed;
        failed.error = "cannot read the tile: " + platform::RegularFile::failureReason(error);
        return failed;
    }
    return platform::readPngScaled(*file, 0, 0);
}

// The tile's label and the texts around it; the reason it is not a tile otherwise.
std::optional<TileHead> headOf(const platform::PngRead& read, std::string& why) {
    if (!read.ok()) {
        why = read.error;
        return std::nullopt;
    }
    TileHead head;
    head.width = static_cast<int>(read.fileWidth);
    head.height = static_cast<int>(read.fileHeight);
    std::optional<TileLabel> label;
    int labels = 0;
    for (const platform::PngText& text : read.texts) {
        if (text.keyword != kPngTileKeyword) {
            head.texts.push_back(text);
            continue;
        }
        ++labels;
        label = parseTileLabel(text.text);
    }
    if (labels != 1 || !label) {
        why = "not a tile: it carries no single readable \"" + std::string(kPngTileKeyword) +
              "\" text";
        return std::nullopt;
    }
    head.label = *label;
    return head;
}

// Why the tile of index does not belong with the first; empty when it does.
std::string mismatch(const TileHead& head, const TileHead& first, int index, int count) {
    if (head.label.id != TileId{index, count}) {
        return "it is tile " + std::to_string(head.label.id.index) + "/" +
               std::to_string(head.label.id.count) + ", not " + std::to_string(index) + "/" +
               std::to_string(count);
    }
    if (head.label.width != first.label.width || head.label.height != first.label.height ||
        !sameTexts(head.texts, first.texts))
        return "it is a tile of another picture than the first tile";
    return {};
}

}  // namespace

std::string TileStitcher::stitch(const std::string& output, platform::StreamTargets streams) const {
    std::vector<TileHead> heads;
    std::optional<TileSplit> split;
    for (int index = 0; index < count_; ++index) {
        const std::string path = tiles_.at(index);
        std::string why;
        std::optional<platform::RegularFile> file;
        const std::optional<TileHead> head = headOf(readTileHead(path, file), why);
        if (!head)
            return path + ": " + why;
        if (index == 0) {
            split = TileSplit::make(count_, head->label.width, head->label.height, why);
            if (!split)
                return path + ": " + why;
        }
        why = mismatch(*head, heads.empty() ? *head : heads.front(), index, count_);
        const complex::PixelWindow part = split->tile(index);
        if (why.empty() && (head->width != part.width || head->height != part.height)) {
            why = "a " + std::to_string(head->width) + "x" + std::to_string(head->height) +
                  " picture, where the tile is " + std::to_string(part.width) + "x" +
                  std::to_string(part.height);
        }
        if (!why.empty())
            return path + ": " + why;
        heads.push_back(*head);
    }

    std::string failure;
    const auto write = [&](std::FILE* file) {
        platform::PngWriter writer(file, static_cast<std::uint32_t>(split->width()),
                                   static_cast<std::uint32_t>(split->height()),
                                   heads.front().texts);
        std::vector<platform::Color> row(static_cast<std::size_t>(split->width()));
        const int side = split->side();
        for (int tileRow = 0; tileRow < side && failure.empty(); ++tileRow) {
            // One row of tiles read at a time, a row of pixels from each.
            std::vector<std::unique_ptr<platform::PngRowReader>> readers;
            for (int column = 0; column < side && failure.empty(); ++column) {
                const int index = tileRow * side + column;
                const complex::PixelWindow part = split->tile(index);
                std::optional<platform::RegularFile> opened;
                std::string why;
                // Read again from the file opened now: it may have been replaced since
                // it was checked.
                const std::optional<TileHead> head =
                    headOf(readTileHead(tiles_.at(index), opened), why);
                if (head && (!mismatch(*head, heads.front(), index, count_).empty() ||
                             head->width != part.width || head->height != part.height))
                    why = "the tile changed while it was read";
                if (why.empty()) {
                    readers.push_back(std::make_unique<platform::PngRowReader>(std::move(*opened)));
                    why = readers.back()->error();
                }
                if (!why.empty())
                    failure = tiles_.at(index) + ": " + why;
            }
            const complex::PixelWindow first = split->tile(tileRow * side);
            for (int y = 0; y < first.height && failure.empty(); ++y) {
                for (int column = 0; column < side && failure.empty(); ++column) {
                    const int index = tileRow * side + column;
                    platform::PngRowReader& reader = *readers[static_cast<std::size_t>(column)];
                    if (!reader.readRow(row.data() + split->tile(index).left))
                        failure = tiles_.at(index) + ": " + reader.error();
                }
                if (failure.empty() && !writer.writeColors(row.data()))
                    failure = output + ": " + writer.error();
            }
        }
        if (failure.empty() && !writer.finish())
            failure = output + ": " + writer.error();
        return failure.empty();
    };
    const platform::FileWriteResult written =
        platform::writeFile(output, platform::FileWriteOptions{streams, false}, write);
    if (!failure.empty())
        return failure;
    if (!written)
        return output + ": cannot write the picture: " + written.reason;
    return {};
}

}  // namespace app
