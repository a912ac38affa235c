#include "params/IniExchange.h"

#include <cstdio>
#include <cstdlib>
#include <variant>

#include "log/DriverLog.h"
#include "params/ParamSet.h"
#include "params/SettingTable.h"
#include "platform/Mutex.h"
#include "platform/NoDestructor.h"
#include "platform/Profile.h"

bool IniExchange::Exchange(Param<int>& param) {
    if (param.name.empty()) {
        return true;
    }
    if (loading) {
        param.value = file.GetInt(section.c_str(), param.name.c_str(), param.value);
        return true;
    }
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%d", param.value);
    return file.WriteString(section.c_str(), param.name.c_str(), text);
}

bool IniExchange::Exchange(Param<double>& param) {
    if (param.name.empty()) {
        return true;
    }
    char text[kTextSize];
    std::snprintf(text, sizeof text, "%g", param.value);
    if (!loading) {
        return file.WriteString(section.c_str(), param.name.c_str(), text);
    }
    // The current value, through "%g", is the default: an absent key keeps it
    // to six significant digits; an empty value keeps it exactly.
    char buffer[kTextSize];
    if (file.GetString(section.c_str(), param.name.c_str(), text, buffer, sizeof buffer) != 0) {
        param.value = std::atof(buffer);
    }
    return true;
}

bool IniExchange::Exchange(Param<std::string>& param) {
    if (param.name.empty()) {
        return true;
    }
    if (!loading) {
        return file.WriteString(section.c_str(), param.name.c_str(), param.value.c_str());
    }
    char buffer[kTextSize];
    const std::uint32_t count = file.GetString(section.c_str(), param.name.c_str(),
                                               param.value.c_str(), buffer, sizeof buffer);
    param.value.assign(buffer, count);
    return true;
}

bool ParamSet::IsDefined() const {
    for (const Setting key : settings::IniKeys()) {
        if (std::visit([this](auto member) { return (this->*member).name.empty(); },
                       settings::Row(key).member)) {
            return false;
        }
    }
    return true;
}

namespace {

// A save rewrites the whole file from what it read: two at once, for two
// cameras, would each drop what the other wrote.
platform::Mutex& SaveLock() {
    static platform::NoDestructor<platform::Mutex> lock;
    return *lock;
}

}  // namespace

bool ParamSet::Load(const char* cameraName) {
    return Persist(cameraName, false);
}

bool ParamSet::Save(const char* cameraName) {
    const platform::MutexLock hold(SaveLock());
    return Persist(cameraName, true);
}

bool ParamSet::Persist(const char* cameraName, bool save) {
    // An undefined set has empty names, which would be written as empty keys;
    // a camera without a name would write into the lines before the first
    // section of the file.
    if (cameraName == nullptr || *cameraName == '\0' || !IsDefined()) {
        return false;
    }
    IniExchange exchange(DriverLog::Instance().IniFilePath(), cameraName);
    exchange.loading = !save;
    bool allWritten = true;
    for (const Setting key : settings::IniKeys()) {
        allWritten = std::visit([&](auto member) { return exchange.Exchange(this->*member); },
                                settings::Row(key).member) &&
                     allWritten;
    }
    return (!save || exchange.Commit()) && allWritten;
}
