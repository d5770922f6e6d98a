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

KeltoError tooLargeError(size_t figures) {
    return KeltoError(ErrorCode::KelTooLarge,
                      figures == 0 ? std::string() : withThousands(figures));
}

std::string damageDetail(const KeltoError& error) {
    if (error.code() == ErrorCode::BadKelFile || error.code() == ErrorCode::BadStkFile) {
        return error.detail().empty() ? "damaged" : error.detail();
    }
    return error.what();
}

} // namespace kelto
