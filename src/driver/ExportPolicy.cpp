#include "driver/ExportPolicy.h"

#include <cstdio>
#include <cstring>

namespace export_frame {

namespace {

// Appends to a fixed buffer, cutting what does not fit as the log cuts a
// message.
class Text {
  public:
    void Append(std::string_view part) {
        const std::size_t room = sizeof buffer - 1 - length;
        const std::size_t taken = part.size() < room ? part.size() : room;
        std::memcpy(buffer + length, part.data(), taken);
        length += taken;
        buffer[length] = '\0';
    }
    void Append(int number) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%d", number);
        Append(std::string_view(digits));
    }
    const char* c_str() const { return buffer; }

  private:
    char buffer[DriverLog::kMessageCapacity] = {};
    std::size_t length = 0;
};

}  // namespace

void Report(DriverLog& log, int level, const char* text, const ExportArgs& args,
            const char* what) noexcept {
    if (text == nullptr) {
        return;
    }
    Text message;
    std::string_view rest(text);
    for (std::size_t open = rest.find('{'); open != std::string_view::npos; open = rest.find('{')) {
        const std::size_t close = rest.find('}', open);
        message.Append(rest.substr(0, open));
        const std::string_view name = rest.substr(open + 1, close - open - 1);
        if (name == "grabberNo") {
            message.Append(args.grabberNo);
        } else if (name == "portNo") {
            message.Append(args.portNo);
        } else if (name == "cameraName") {
            message.Append(std::string_view(TextOrNull(args.cameraName)));
        } else if (name == "property") {
            message.Append(std::string_view(TextOrNull(args.property)));
        } else if (name == "value") {
            message.Append(args.value);
        } else if (name == "what") {
            message.Append(std::string_view(TextOrNull(what)));
        }
        rest.remove_prefix(close + 1);
    }
    message.Append(rest);
    LogMessage(log, level, "%s", message.c_str());
}

}  // namespace export_frame
