// Placeholder filling for the message dialogs.
#include "shell/message_text.h"

namespace tw {

std::string FillPlaceholders(const std::string& text, const std::array<std::string, 4>& strings) {
    const std::string source = text.substr(0, kMessageTextLimit);
    std::string out;
    out.reserve(source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '^' && i + 1 < source.size() && source[i + 1] >= '0' &&
            source[i + 1] <= '3') {
            const std::string& value = strings[size_t(source[i + 1] - '0')];
            if (!value.empty()) {
                out += value;
                ++i;
                continue;
            }
        }
        out += source[i];
    }
    return out;
}

}  // namespace tw
