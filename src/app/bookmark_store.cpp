#include "app/bookmark_store.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include "app/location.h"
#include "platform/file_writer.h"
#include "platform/regular_file.h"

namespace app {

namespace {

constexpr std::string_view kBookmarkKey = "bookmark";
// No bookmark file of ours grows this large; a larger one is not read whole, so
// it is never written either.
constexpr std::size_t kLargestFile = 64u << 20;

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The name of a line that begins a bookmark; nullopt for any other line.
std::optional<std::string> bookmarkName(std::string_view line) {
    line = trimmed(line);
    if (line.substr(0, kBookmarkKey.size()) != kBookmarkKey)
        return std::nullopt;
    const std::string_view rest = line.substr(kBookmarkKey.size());
    if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t')
        return std::nullopt;
    return std::string(trimmed(rest));
}

bool onlyBlanksAndComments(std::string_view text) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trimmed(text.substr(start, end - start));
        if (!line.empty() && line.front() != '#')
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

std::string BookmarkStore::nameProblem(const std::string& name) {
    const std::string_view cut = trimmed(name);
    if (cut.empty())
        return "A bookmark needs a name.";
    if (cut.size() > kLongestName)
        return "A bookmark's name has at most " + std::to_string(kLongestName) + " characters.";
    if (cut.find_first_of("\n\r") != std::string_view::npos)
        return "A bookmark's name is one line.";
    return {};
}

std::string BookmarkStore::load() {
    entries_.clear();
    listed_.clear();
    writeProblem_.clear();
    if (path_.empty())
        return {};
    int error = 0;
    const std::optional<platform::RegularFile> file = platform::RegularFile::open(path_, &error);
    if (!file) {
        if (error == ENOENT)
            return {};
        writeProblem_ = "The bookmark file " + path_ + " cannot be read (" +
                        platform::RegularFile::failureReason(error) + "); it is left as it is.";
        return writeProblem_;
    }
    bool truncated = false;
    const std::optional<std::string> text = file->readAll(kLargestFile, truncated);
    if (!text || truncated) {
        writeProblem_ =
            "The bookmark file " + path_ + " cannot be read whole; it is left as it is.";
        return writeProblem_;
    }
    parse(*text);
    const std::string_view content = trimmed(*text);
    if (!content.empty() && content.substr(0, std::string_view(kHeader).size()) != kHeader) {
        writeProblem_ =
            "The file " + path_ + " is not a bookmark file of Corvane; it is left as it is.";
    }
    return writeProblem_;
}

void BookmarkStore::parse(const std::string& text) {
    // The text before the first bookmark, then one piece per bookmark.
    std::vector<std::pair<std::optional<std::string>, std::string>> pieces(1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const std::size_t next = end == std::string::npos ? text.size() : end + 1;
        if (end == std::string::npos)
            end = text.size();
        const std::string_view line(text.data() + start, end - start);
        if (std::optional<std::string> name = bookmarkName(line))
            pieces.emplace_back(std::move(name), std::string());
        pieces.back().second.append(text, start, next - start);
        start = next;
    }
    for (auto& [name, raw] : pieces) {
        Entry entry;
        if (!name) {
            // Our header and blank lines are written anew; anything else stays.
            if (onlyBlanksAndComments(raw))
                continue;
            entry.raw = std::move(raw);
            entries_.push_back(std::move(entry));
            continue;
        }
        const std::size_t bodyStart = raw.find('\n');
        const std::string body = bodyStart == std::string::npos ? "" : raw.substr(bodyStart + 1);
        entry.readable = nameProblem(*name).empty() && parseLocation(body).value.has_value();
        if (entry.readable)
            entry.bookmark = Bookmark{*name, std::string(trimmed(body))};
        entry.raw = std::move(raw);
        entries_.push_back(std::move(entry));
    }
    relist();
}

void BookmarkStore::relist() {
    listed_.clear();
    for (const Entry& entry : entries_) {
        if (entry.readable)
            listed_.push_back(entry.bookmark);
    }
}

std::string BookmarkStore::text() const {
    std::string text = std::string(kHeader) + "\n";
    for (const Entry& entry : entries_) {
        text += "\n";
        if (!entry.readable) {
            text += entry.raw;
            if (!text.empty() && text.back() != '\n')
                text += "\n";
            continue;
        }
        text += std::string(kBookmarkKey) + " " + entry.bookmark.name + "\n";
        text += entry.bookmark.location;
        if (text.back() != '\n')
            text += "\n";
    }
    return text;
}

std::string BookmarkStore::commit(std::vector<Entry> entries) {
    std::vector<Entry> before = std::exchange(entries_, std::move(entries));
    if (!path_.empty()) {
        std::filesystem::path folder = std::filesystem::path(path_).parent_path();
        std::error_code ignored;
        if (!folder.empty())
            std::filesystem::create_directories(folder, ignored);
        platform::FileWriteOptions options;
        options.ownerOnly = true;
        const std::string content = text();
        const platform::FileWriteResult written =
            platform::writeFile(path_, options, [&content](std::FILE* stream) {
                return std::fwrite(content.data(), 1, content.size(), stream) == content.size();
            });
        if (!written) {
            entries_ = std::move(before);
            relist();
            return "The bookmarks cannot be written to " + path_ + ": " + written.reason + ".";
        }
    }
    relist();
    return {};
}

std::string BookmarkStore::add(const std::string& name, const std::string& location) {
    if (std::string problem = nameProblem(name); !problem.empty())
        return problem;
    const std::string cut(trimmed(name));
    if (!path_.empty()) {
        load();
        if (!writeProblem_.empty())
            return writeProblem_;
    }
    for (const Bookmark& bookmark : listed_) {
        if (bookmark.name == cut)
            return "A bookmark named \"" + cut + "\" exists already.";
    }
    if (listed_.size() >= kMostBookmarks)
        return "There are " + std::to_string(kMostBookmarks) + " bookmarks already.";
    std::vector<Entry> entries = entries_;
    Entry entry;
    entry.readable = true;
    entry.bookmark = Bookmark{cut, std::string(trimmed(location))};
    entries.push_back(std::move(entry));
    return commit(std::move(entries));
}

std::string BookmarkStore::rename(std::size_t index, const std::string& name) {
    if (index >= listed_.size())
        return "There is no such bookmark.";
    if (std::string problem = nameProblem(name); !problem.empty())
        return problem;
    const std::string old = listed_[index].name;
    const std::string cut(trimmed(name));
    if (!path_.empty()) {
        load();
        if (!writeProblem_.empty())
            return writeProblem_;
    }
    std::vector<Entry> entries = entries_;
    Entry* renamed = nullptr;
    for (Entry& entry : entries) {
        if (!entry.readable)
            continue;
        if (entry.bookmark.name == cut && cut != old)
            return "A bookmark named \"" + cut + "\" exists already.";
        if (entry.bookmark.name == old && renamed == nullptr)
            renamed = &entry;
    }
    if (renamed == nullptr)
        return "The bookmark \"" + old + "\" is no longer there.";
    renamed->bookmark.name = cut;
    return commit(std::move(entries));
}

std::string BookmarkStore::remove(std::size_t index) {
    if (index >= listed_.size())
        return "There is no such bookmark.";
    const std::string old = listed_[index].name;
    if (!path_.empty()) {
        load();
        if (!writeProblem_.empty())
            return writeProblem_;
    }
    std::vector<Entry> entries = entries_;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].readable && entries[i].bookmark.name == old) {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
            return commit(std::move(entries));
        }
    }
    return "The bookmark \"" + old + "\" is no longer there.";
}

std::string bookmarkPathBeside(const std::string& settingsPath) {
    const std::filesystem::path folder = std::filesystem::path(settingsPath).parent_path();
    return (folder / "Corvane Bookmarks.txt").string();
}

}  // namespace app
