#pragma once

#include <string>
#include <vector>

namespace app {

// A named location the user keeps.
struct Bookmark {
    std::string name;
    std::string location;  // the location's text (app/location.h)
};

// The user's bookmarks, kept in a text file of their own beside the settings:
//
//   # Corvane bookmarks
//   bookmark Seahorse valley
//   type Mandelbrot
//   centre -0.75 0.1
//   width 0.05
//
// Each "bookmark NAME" line begins a bookmark; its location follows. A bookmark whose
// location cannot be read (edited by hand, cut short) is not listed but kept as it is,
// text and all, whenever the file is written again. A file that does not begin with
// the first line above, or is no regular file, is not ours: its bookmarks are listed
// when they can be read, but it is never written.
//
// Every change reads the file afresh and writes it whole, through a temporary file
// renamed over it. Without a path the bookmarks are kept in memory only.
class BookmarkStore {
  public:
    static constexpr const char* kHeader = "# Corvane bookmarks";
    static constexpr std::size_t kLongestName = 200;
    static constexpr std::size_t kMostBookmarks = 100;

    explicit BookmarkStore(std::string path = {}) : path_(std::move(path)) {}

    // Reads the file again; the bookmarks that can be read are listed. Why the file
    // cannot be read, or will not be written, when it cannot or will not; else empty.
    std::string load();
    const std::vector<Bookmark>& bookmarks() const { return listed_; }
    // Why the file will not be written; empty when it will.
    const std::string& writeProblem() const { return writeProblem_; }
    const std::string& path() const { return path_; }

    // Each change returns why it was not made (nothing changes then), or empty.
    std::string add(const std::string& name, const std::string& location);
    std::string rename(std::size_t index, const std::string& name);
    std::string remove(std::size_t index);

    // Why a bookmark may not have this name (empty, too long, several lines); empty when
    // it may. Names are compared as typed, after their surrounding blanks are cut.
    static std::string nameProblem(const std::string& name);

  private:
    // One bookmark of the file, or text that cannot be read as one (kept verbatim).
    struct Entry {
        bool readable = false;
        Bookmark bookmark;
        std::string raw;
    };
    void parse(const std::string& text);
    void relist();
    std::string text() const;
    // Writes entries (reading the file afresh first); restores them when it cannot.
    std::string commit(std::vector<Entry> entries);

    std::string path_;
    std::vector<Entry> entries_;
    std::vector<Bookmark> listed_;
    std::string writeProblem_;
};

// The bookmark file beside the settings file at settingsPath.
std::string bookmarkPathBeside(const std::string& settingsPath);

}  // namespace app
