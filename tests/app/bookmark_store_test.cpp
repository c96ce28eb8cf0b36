#include "app/bookmark_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace {

using app::BookmarkStore;

const std::string kValley = "type Mandelbrot\ncentre -0.75 0.1\nwidth 0.05\niterations 500";
const std::string kJulia = "type Julia\ncentre 0 0\nwidth 3";

std::vector<std::string> names(const BookmarkStore& store) {
    std::vector<std::string> result;
    for (const app::Bookmark& bookmark : store.bookmarks())
        result.push_back(bookmark.name);
    return result;
}

TEST(BookmarkStoreTest, BookmarksSurviveAFreshStoreAndEveryChange) {
    testing_support::TempFolder folder;
    const std::string path = folder.file("config/Corvane Bookmarks.txt");
    BookmarkStore store(path);
    EXPECT_EQ(store.load(), "");
    EXPECT_EQ(store.add("  Seahorse valley ", kValley), "");
    EXPECT_EQ(store.add("Julia & co", kJulia), "");
    EXPECT_NE(store.add("Julia & co", kValley).find("exists already"), std::string::npos);

    BookmarkStore reread(path);
    EXPECT_EQ(reread.load(), "");
    EXPECT_EQ(names(reread), (std::vector<std::string>{"Seahorse valley", "Julia & co"}));
    EXPECT_EQ(reread.bookmarks()[0].location, kValley);

    EXPECT_EQ(reread.rename(0, "Valley"), "");
    EXPECT_NE(reread.rename(0, "Julia & co").find("exists already"), std::string::npos);
    EXPECT_EQ(reread.remove(1), "");
    BookmarkStore third(path);
    third.load();
    EXPECT_EQ(names(third), (std::vector<std::string>{"Valley"}));
    EXPECT_EQ(third.bookmarks()[0].location, kValley);
    // Only its owner reads the file.
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(BookmarkStoreTest, NamesAreOneLineOfSomeText) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"Home", true},
        {"  spaced  ", true},
        {"", false},
        {"   ", false},
        {"two\nlines", false},
        {std::string(201, 'x'), false},
        {std::string(200, 'x'), true},
    };
    for (const auto& [name, allowed] : cases)
        EXPECT_EQ(BookmarkStore::nameProblem(name).empty(), allowed) << name;
}

TEST(BookmarkStoreTest, UnreadableBookmarksAreKeptAsTheyAre) {
    testing_support::TempFolder folder;
    const std::string foreignLine = "something a later version wrote\n";
    const std::string broken = "bookmark Broken\ntype Mandelbrot\ncentre here\nwidth 1\n";
    const std::string unnamed = "bookmark\n" + kJulia + "\n";
    const std::string path =
        folder.write("b.txt", std::string(BookmarkStore::kHeader) + "\n" + foreignLine +
                                  "bookmark Good\n" + kValley + "\n\n" + broken + unnamed);
    BookmarkStore store(path);
    EXPECT_EQ(store.load(), "");
    EXPECT_EQ(names(store), (std::vector<std::string>{"Good"}));
    EXPECT_EQ(store.add("New", kJulia), "");
    EXPECT_EQ(store.remove(0), "");

    const std::string written = testing_support::TempFolder::read(path);
    EXPECT_NE(written.find(foreignLine), std::string::npos);
    EXPECT_NE(written.find(broken), std::string::npos);
    EXPECT_NE(written.find(unnamed), std::string::npos);
    EXPECT_EQ(written.find("bookmark Good"), std::string::npos);
    BookmarkStore reread(path);
    reread.load();
    EXPECT_EQ(names(reread), (std::vector<std::string>{"New"}));
}

TEST(BookmarkStoreTest, AFileThatIsNotOursIsListedButNeverWritten) {
    testing_support::TempFolder folder;
    const std::string readme = "My notes\nbookmark Good\n" + kValley + "\n";
    struct Case {
        const char* what;
        std::string path;
        std::string contentBefore;
    };
    const std::string notes = folder.write("notes.txt", readme);
    std::filesystem::create_directory(folder.file("folder"));
    const std::vector<Case> cases = {
        {"another program's text", notes, readme},
        {"a folder", folder.file("folder"), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BookmarkStore store(c.path);
        EXPECT_NE(store.load(), "");
        EXPECT_NE(store.add("New", kJulia), "");
        if (!c.contentBefore.empty()) {
            EXPECT_EQ(names(store), (std::vector<std::string>{"Good"}));
            EXPECT_NE(store.rename(0, "Other"), "");
            EXPECT_NE(store.remove(0), "");
            EXPECT_EQ(testing_support::TempFolder::read(c.path), c.contentBefore);
        }
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.file("folder")));
}

TEST(BookmarkStoreTest, WithoutAFileBookmarksStayInMemory) {
    BookmarkStore store;
    EXPECT_EQ(store.add("Here", kValley), "");
    EXPECT_EQ(names(store), (std::vector<std::string>{"Here"}));
    EXPECT_EQ(store.rename(0, "There"), "");
    EXPECT_EQ(store.remove(0), "");
    EXPECT_TRUE(store.bookmarks().empty());
}

}  // namespace
