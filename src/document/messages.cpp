#include "document/messages.h"

namespace kelto {

namespace {

std::string withThousands(size_t n) {
    std::string digits = std::to_string(n);
    for (size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, ",");
    }
    return digits;
}

} // namespace

std::string tooLargeMessage(size_t figures) {
    if (figures == 0) {
        return kMsgKelTooLarge;
    }
    return std::string(kMsgKelTooLarge) + ": it holds more than " + withThousands(figures) +
           " figures";
}

std::string damageDetail(const std::string& message) {
    for (const char* sentence : {kMsgBadStkFile, kMsgBadKelFile}) {
        const std::string open = std::string(sentence) + " (";
        if (message.rfind(open, 0) == 0 && message.size() > open.size() && message.back() == ')') {
            return message.substr(open.size(), message.size() - open.size() - 1);
        }
        if (message == sentence) {
            return "damaged";
        }
    }
    return message;
}

} // namespace kelto
