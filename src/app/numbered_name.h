#pragma once

#include <optional>
#include <string>

namespace app {

// A file name with one printf-style integer conversion in it (%d, %5d, %05d; %% is a
// percent sign), such as tile-%02d.png. Only these are taken: the name is never handed
// to printf, so no other conversion can read what is not there.
class NumberedName {
  public:
    // nullopt, with the reason in why, for a name without exactly one conversion or with
    // any other '%'.
    static std::optional<NumberedName> parse(const std::string& pattern, std::string& why);
    // The same, but a name without a conversion is taken too: it names every number.
    static std::optional<NumberedName> parseAtMostOne(const std::string& pattern, std::string& why);
    bool numbered() const { return numbered_; }
    // The name of number (0 or more): its decimal digits padded to the conversion's width.
    std::string at(long number) const;

  private:
    NumberedName() = default;
    static std::optional<NumberedName> scan(const std::string& pattern, bool needsOne,
                                            std::string& why);
    std::string prefix_;
    std::string suffix_;
    int width_ = 0;
    bool zeros_ = false;
    bool numbered_ = false;
};

}  // namespace app
