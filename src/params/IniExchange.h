#pragma once

#include <string>

#include "params/Param.h"
#include "platform/Profile.h"

// One load or save of parameters in one section of the INI file, through the
// platform's profile functions. Loading takes what the file holds without
// checks (out-of-range numbers, texts that are no item); an absent key leaves
// the value as it was. Nothing here logs.
class IniExchange {
  public:
    std::string filePath;
    std::string section;
    bool loading = true;  // true reads the file into the parameters

    IniExchange(std::string path, std::string sectionName)
        : filePath(path), section(std::move(sectionName)), file(std::move(path)) {}

    // Reads or writes the parameter's value under its name. A parameter with
    // an empty name is skipped: its key would be an empty text. False only
    // when a write failed.
    bool Exchange(Param<int>& param);
    bool Exchange(Param<double>& param);
    // Also for every ParamEnum, which is exchanged as its text.
    bool Exchange(Param<std::string>& param);
    // Writes the file once with everything saved; false when that failed.
    bool Commit() { return file.Commit(); }

    // The size of every text read, with the terminating zero.
    static constexpr std::uint32_t kTextSize = 256;

  private:
    // Read once for a whole load, written once for a whole save.
    platform::ProfileFile file;
};
