#pragma once

#include <string>

#include "params/Param.h"

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
        : filePath(std::move(path)), section(std::move(sectionName)) {}

    // Reads or writes the parameter's value under its name. A parameter with
    // an empty name is skipped: its key would be an empty text. False only
    // when a write failed.
    bool Exchange(Param<int>& param) const;
    bool Exchange(Param<double>& param) const;
    // Also for every ParamEnum, which is exchanged as its text.
    bool Exchange(Param<std::string>& param) const;

    // The size of every text read, with the terminating zero.
    static constexpr std::uint32_t kTextSize = 256;
};
