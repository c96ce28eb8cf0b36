#include "platform/documents_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/temp_folder.h"

namespace platform {
namespace {

using testing_support::TempFolder;

struct UserDirsCase {
    const char* name;
    std::string text;
    std::string home;
    std::optional<std::string> expected;
};

TEST(DocumentsFolder, ReadsTheDocumentsLineOfUserDirs) {
    const std::string home = "/home/ana";
    const std::vector<UserDirsCase> cases = {
        {"as written by the desktop",
         "# This file is written by xdg-user-dirs-update\n"
         "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
         "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n"
         "XDG_MUSIC_DIR=\"$HOME/Musik\"\n",
         home, "/home/ana/Dokumente"},
        {"absolute", "XDG_DOCUMENTS_DIR=\"/data/docs\"\n", home, "/data/docs"},
        {"no line", "XDG_MUSIC_DIR=\"$HOME/Musik\"\n", home, std::nullopt},
        {"empty file", "", home, std::nullopt},
        {"turned off", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n", home, std::nullopt},
        {"turned off without slash", "XDG_DOCUMENTS_DIR=\"$HOME\"", home, std::nullopt},
        {"home spelt out", "XDG_DOCUMENTS_DIR=\"/home/ana/\"", home, std::nullopt},
        {"relative", "XDG_DOCUMENTS_DIR=\"Docs\"\n", home, std::nullopt},
        {"empty value", "XDG_DOCUMENTS_DIR=\"\"\n", home, std::nullopt},
        {"escapes", R"(XDG_DOCUMENTS_DIR="$HOME/My \"Docs\" \$1 a\b")", home,
         R"(/home/ana/My "Docs" $1 a\b)"},
        {"escaped $HOME is literal", R"(XDG_DOCUMENTS_DIR="\$HOME/Docs")", home, std::nullopt},
        {"other variable", "XDG_DOCUMENTS_DIR=\"$HOME/$USER\"\n", home, std::nullopt},
        {"braced variable", "XDG_DOCUMENTS_DIR=\"${HOME}/Docs\"\n", home, std::nullopt},
        {"longer variable name", "XDG_DOCUMENTS_DIR=\"$HOMEDIR/Docs\"\n", home, std::nullopt},
        {"command", "XDG_DOCUMENTS_DIR=\"/x/`id`\"\n", home, std::nullopt},
        {"unterminated", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\nXDG_MUSIC_DIR=\"x\"\n", home,
         std::nullopt},
        {"unquoted", "XDG_DOCUMENTS_DIR=$HOME/Docs\n", home, std::nullopt},
        {"single-quoted", "XDG_DOCUMENTS_DIR='/data/docs'\n", home, std::nullopt},
        {"similar name", "XDG_DOCUMENTS_DIRS=\"/data/docs\"\nMY_XDG_DOCUMENTS_DIR=\"/x\"\n", home,
         std::nullopt},
        {"commented out", "# XDG_DOCUMENTS_DIR=\"/data/docs\"\n", home, std::nullopt},
        {"trailing comment and blanks", "  XDG_DOCUMENTS_DIR = \"/data/docs\"  # mine\r\n", home,
         "/data/docs"},
        {"trailing words", "XDG_DOCUMENTS_DIR=\"/data/docs\" rm\n", home, std::nullopt},
        {"control character", std::string("XDG_DOCUMENTS_DIR=\"/data\0docs\"", 30), home,
         std::nullopt},
        {"last line wins", "XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"/second\"\n", home,
         "/second"},
        {"last line turns it off", "XDG_DOCUMENTS_DIR=\"/first\"\nXDG_DOCUMENTS_DIR=\"$HOME/\"\n",
         home, std::nullopt},
        {"trailing slashes", "XDG_DOCUMENTS_DIR=\"/data/docs//\"\n", home, "/data/docs"},
        {"home with trailing slash", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/home/ana/",
         "/home/ana/Docs"},
        {"home is the root", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "/", "/Docs"},
        {"relative home", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "ana", std::nullopt},
        {"no home", "XDG_DOCUMENTS_DIR=\"$HOME/Docs\"\n", "", std::nullopt},
        {"no home, absolute", "XDG_DOCUMENTS_DIR=\"/data/docs\"\n", "", "/data/docs"},
    };
    for (const UserDirsCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(documentsFolderFromUserDirs(c.text, c.home), c.expected);
    }
}

// Sets the variables documentsFolder reads for one test and restores them after it.
class DocumentsFolderEnvironment : public ::testing::Test {
  protected:
    static constexpr const char* kVariables[] = {"XDG_DOCUMENTS_DIR", "XDG_CONFIG_HOME", "HOME"};

    DocumentsFolderEnvironment() {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            saved_.push_back(value == nullptr ? std::nullopt : std::optional<std::string>(value));
        }
    }
    ~DocumentsFolderEnvironment() override {
        for (std::size_t i = 0; i < saved_.size(); ++i)
            set(kVariables[i], saved_[i]);
    }

    static void set(const char* name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }

    const TempFolder folder;

  private:
    std::vector<std::optional<std::string>> saved_;
};

enum class ConfigHome { Unset, Absolute, Relative };

struct PrecedenceCase {
    const char* name;
    std::optional<std::string> documentsVariable;
    ConfigHome configHome;  // XDG_CONFIG_HOME, naming the test's "config" folder
    bool hasHome;
    std::string inHomeConfig;    // user-dirs.dirs in ~/.config; empty for none
    std::string inConfigFolder;  // user-dirs.dirs in the "config" folder; empty for none
    std::string expected;        // "~" stands for the home folder
};

TEST_F(DocumentsFolderEnvironment, FollowsTheOrderOfPrecedence) {
    const std::string home = folder.file("home");
    const std::string config = folder.file("config");
    const std::string dokumente = "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    const std::string elsewhere = "XDG_DOCUMENTS_DIR=\"/elsewhere\"\n";
    const std::vector<PrecedenceCase> cases = {
        {"variable wins", "/scripted", ConfigHome::Unset, true, dokumente, "", "/scripted"},
        {"empty variable is unset", "", ConfigHome::Unset, true, dokumente, "", "~/Dokumente"},
        {"file in the configuration folder", std::nullopt, ConfigHome::Absolute, true, elsewhere,
         dokumente, "~/Dokumente"},
        {"file in the default configuration folder", std::nullopt, ConfigHome::Unset, true,
         dokumente, elsewhere, "~/Dokumente"},
        {"relative configuration folder is ignored", std::nullopt, ConfigHome::Relative, true,
         dokumente, elsewhere, "~/Dokumente"},
        {"folder turned off", std::nullopt, ConfigHome::Unset, true,
         "XDG_DOCUMENTS_DIR=\"$HOME/\"\n", "", "~/Documents"},
        {"no file", std::nullopt, ConfigHome::Unset, true, "", "", "~/Documents"},
        {"no home", std::nullopt, ConfigHome::Unset, false, "", "", "Documents"},
        {"no home, absolute folder in the file", std::nullopt, ConfigHome::Absolute, false, "",
         elsewhere, "/elsewhere"},
    };
    for (const PrecedenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(folder.path());
        std::filesystem::create_directories(folder.path() / "home/.config");
        std::filesystem::create_directories(folder.path() / "config");
        if (!c.inHomeConfig.empty())
            folder.write("home/.config/user-dirs.dirs", c.inHomeConfig);
        if (!c.inConfigFolder.empty())
            folder.write("config/user-dirs.dirs", c.inConfigFolder);
        set("XDG_DOCUMENTS_DIR", c.documentsVariable);
        switch (c.configHome) {
            case ConfigHome::Unset:
                set("XDG_CONFIG_HOME", std::nullopt);
                break;
            case ConfigHome::Absolute:
                set("XDG_CONFIG_HOME", config);
                break;
            case ConfigHome::Relative:
                set("XDG_CONFIG_HOME", std::filesystem::relative(config).string());
                break;
        }
        set("HOME", c.hasHome ? std::optional(home) : std::nullopt);
        const std::string expected =
            c.expected.starts_with('~') ? home + c.expected.substr(1) : c.expected;
        EXPECT_EQ(documentsFolder(), expected);
    }
}

TEST_F(DocumentsFolderEnvironment, AUserDirsFileThatIsNoFileIsPassedOver) {
    const std::string home = folder.file("home");
    std::filesystem::create_directories(folder.path() / "home/.config/user-dirs.dirs");
    set("XDG_DOCUMENTS_DIR", std::nullopt);
    set("XDG_CONFIG_HOME", std::nullopt);
    set("HOME", home);
    EXPECT_EQ(documentsFolder(), home + "/Documents");
}

}  // namespace
}  // namespace platform
