#include "pages/door_body.h"

#include <QJsonDocument>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr qsizetype kSmallBody = 64 * 1024;
// 2,097,152 characters of page text, each at most six bytes escaped, and the call around them.
constexpr qsizetype kMostText = 13 * 1024 * 1024;
// A batch's calls: {"calls": [{"values": {name: {"from": n, "out": name}}}]} is four deep.
constexpr size_t kDeepest = 6;
// The most calls a batch may hold (door_calls.cpp answers the same for a parsed batch): the one array a
// request has.
constexpr qsizetype kMostCalls = 500;
// Keys in all: each call's own, its values' and theirs ({"from", "out"}).
constexpr qsizetype kMostKeys = kMostCalls * (4 + 3 * kMostCallValues);
// The door's own limit, which the service keeps too.
constexpr qint64 kLargestBody = 24 * 1024 * 1024;

bool CarriesNoCall(const QString& path) {
    return path == QLatin1String("/door/open") || path == QLatin1String("/door/close") ||
           path == QLatin1String("/door/describe") || path == QLatin1String("/door/logon");
}

// JSON writes a NUL as \u0000 (a raw one, which is no JSON, is looked for all the same): one search of
// the text, at its backslashes alone, spares a look through every value.
bool MayHoldNul(const QByteArray& text) {
    const char* at = text.constData();
    const char* end = at + text.size();
    if (std::memchr(at, 0, size_t(end - at))) return true;
    while ((at = static_cast<const char*>(std::memchr(at, '\\', size_t(end - at))))) {
        if (end - at >= 6 && std::memcmp(at, "\\u0000", 6) == 0) return true;
        ++at;
    }
    return false;
}

}  // namespace

DoorBodyReader::DoorBodyReader(const QString& path, qint64 announced) : small_(CarriesNoCall(path)) {
    // One buffer of the size announced, filled once: no copies as it grows, and a body refused at its
    // length takes nothing.
    if (small_ && announced > kSmallBody)
        refused_ = DoorReply::Failed(413, "too_large");
    else if (announced > 0 && announced <= kLargestBody)
        body_.reserve(announced);
}

void DoorBodyReader::take(const char* data, size_t size) {
    if (refused_) return;
    total_ += qsizetype(size);
    // The library holds a body of announced length to the door's limit, not one sent in chunks.
    if (total_ > (small_ ? kSmallBody : kLargestBody)) refused_ = DoorReply::Failed(413, "too_large");
    if (!refused_) measure(data, size);
    if (!refused_ && total_ - bytes_ > kMostText) refused_ = DoorReply::Failed(413, "too_large");
    if (refused_) {
        body_ = QByteArray();
        return;
    }
    body_.append(data, qsizetype(size));
}

std::optional<DoorReply> DoorBodyReader::finish(DoorRequest& request) {
    if (refused_) return refused_;
    request.sendsBytes = sendsBytes_;
    if (std::all_of(body_.begin(), body_.end(), [](char c) { return std::isspace(uchar(c)); })) {
        request.json = QJsonObject();
        return std::nullopt;
    }
    request.mayHoldNul = MayHoldNul(body_);
    const QJsonDocument document = QJsonDocument::fromJson(body_);
    body_ = QByteArray();
    if (!document.isObject()) return DoorReply::Failed(400, "malformed");
    request.json = document.object();
    return std::nullopt;
}

bool DoorBodyReader::valueStarts() {
    if (frames_.empty() || frames_.back().object) return true;
    if (++arrayValues_ > kMostCalls) refused_ = DoorReply::Failed(413, "too_many_calls");
    return !refused_;
}

void DoorBodyReader::endString() {
    inString_ = false;
    if (!stringIsKey_ || frames_.empty()) return;
    frames_.back().lastKeyWasBytes = key_ == "base64";
}

// One pass, stopping at the first thing beyond the bounds. Not a parser: what is not JSON is left for the
// parser to refuse.
void DoorBodyReader::measure(const char* data, size_t size) {
    const char* const end = data + size;
    for (const char* at = data; at < end && !refused_; ++at) {
        if (inString_) {
            if (escaped_) {
                escaped_ = false;
            } else if (*at == '\\') {
                escaped_ = true;
            } else if (*at == '"') {
                endString();
                continue;
            } else if (!stringIsKey_) {
                // The long run of a value's text at once.
                const char* stop = at;
                while (stop < end && *stop != '"' && *stop != '\\') ++stop;
                if (stringIsBytes_) bytes_ += stop - at;
                at = stop - 1;
                continue;
            }
            if (stringIsKey_ && key_.size() < 8) key_.append(*at);
            if (stringIsBytes_) ++bytes_;
            continue;
        }
        if (inScalar_) {
            if (!std::strchr(",]}: \t\r\n", *at)) continue;
            inScalar_ = false;
        }
        switch (*at) {
            case '{':
            case '[':
                if (!valueStarts()) return;
                if (frames_.size() >= kDeepest) {
                    refused_ = DoorReply::Failed(400, "malformed");
                    return;
                }
                frames_.push_back({*at == '{', 0, *at == '{', false});
                break;
            case '}':
            case ']':
                if (!frames_.empty()) frames_.pop_back();
                break;
            case ',':
                if (!frames_.empty() && frames_.back().object) frames_.back().wantsKey = true;
                break;
            case '"': {
                inString_ = true;
                stringIsKey_ = !frames_.empty() && frames_.back().object && frames_.back().wantsKey;
                stringIsBytes_ = false;
                if (stringIsKey_) {
                    Frame& frame = frames_.back();
                    frame.wantsKey = false;
                    key_.clear();
                    if (++frame.count > kMostCallValues || ++keys_ > kMostKeys) {
                        refused_ = DoorReply::Failed(400, "too_many_values");
                        return;
                    }
                } else {
                    if (!valueStarts()) return;
                    stringIsBytes_ = !frames_.empty() && frames_.back().object && frames_.back().lastKeyWasBytes;
                    sendsBytes_ = sendsBytes_ || stringIsBytes_;
                }
                break;
            }
            case ' ':
            case '\t':
            case '\r':
            case '\n':
            case ':':
                break;
            default:
                // A number, true, false or null.
                if (!valueStarts()) return;
                inScalar_ = true;
        }
    }
}
