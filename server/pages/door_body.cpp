#include "pages/door_body.h"

#include <QJsonDocument>

#include <cstring>
#include <vector>

namespace {

constexpr qsizetype kSmallBody = 64 * 1024;
// 2,097,152 characters of page text, each at most six bytes escaped, and the call around them.
constexpr qsizetype kMostText = 13 * 1024 * 1024;
// A batch's calls: {"calls": [{"values": {name: {"from": n, "out": name}}}]} is four deep.
constexpr int kDeepest = 6;
// The most calls a batch may hold (door_calls.cpp answers the same for a parsed batch): the one array a
// request has.
constexpr qsizetype kMostCalls = 500;
// Keys in all: each call's own, its values' and theirs ({"from", "out"}).
constexpr qsizetype kMostKeys = kMostCalls * (4 + 3 * kMostCallValues);

struct Frame {
    bool object = false;
    qsizetype count = 0;     // keys of an object
    bool wantsKey = false;   // an object between '{' or ',' and its next key
    bool lastKeyWasBytes = false;
};

// One pass over the body, stopping at the first thing beyond its bounds: nothing when within them. Not a
// parser: what is not JSON is left for the parser to refuse.
std::optional<DoorReply> Measure(const QByteArray& body, bool* sendsBytes) {
    std::vector<Frame> frames;
    qsizetype bytes = 0;  // inside {"base64": "..."} strings
    qsizetype keys = 0, arrayValues = 0;
    const char* text = body.constData();
    const qsizetype size = body.size();
    const auto valueStarts = [&]() -> std::optional<DoorReply> {
        if (frames.empty() || frames.back().object) return std::nullopt;
        if (++arrayValues > kMostCalls) return DoorReply::Failed(413, "too_many_calls");
        return std::nullopt;
    };
    for (qsizetype at = 0; at < size; ++at) {
        const char c = text[at];
        switch (c) {
            case '{':
            case '[':
                if (auto refused = valueStarts()) return refused;
                if (frames.size() >= size_t(kDeepest)) return DoorReply::Failed(400, "malformed");
                frames.push_back({c == '{', 0, c == '{', false});
                break;
            case '}':
            case ']':
                if (frames.empty()) return std::nullopt;
                frames.pop_back();
                break;
            case ',':
                if (!frames.empty() && frames.back().object) frames.back().wantsKey = true;
                break;
            case '"': {
                const qsizetype start = at;
                for (++at; at < size && text[at] != '"'; ++at)
                    if (text[at] == '\\') ++at;
                // Not closed: what came before was within bounds, and the parser refuses the rest.
                if (at >= size) return std::nullopt;
                if (frames.empty()) break;
                Frame& frame = frames.back();
                if (frame.object && frame.wantsKey) {
                    frame.wantsKey = false;
                    if (++frame.count > kMostCallValues || ++keys > kMostKeys)
                        return DoorReply::Failed(400, "too_many_values");
                    frame.lastKeyWasBytes = QByteArray::fromRawData(text + start, at - start + 1) == "\"base64\"";
                } else {
                    if (auto refused = valueStarts()) return refused;
                    if (frame.object && frame.lastKeyWasBytes) {
                        bytes += at - start;
                        *sendsBytes = true;
                    }
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
                // A number, true, false or null: one value in an array.
                if (auto refused = valueStarts()) return refused;
                while (at + 1 < size && !strchr(",]}: \t\r\n", text[at + 1])) ++at;
        }
    }
    if (size - bytes > kMostText) return DoorReply::Failed(413, "too_large");
    return std::nullopt;
}

bool CarriesNoCall(const QString& path) {
    return path == QLatin1String("/door/open") || path == QLatin1String("/door/close") ||
           path == QLatin1String("/door/describe") || path == QLatin1String("/door/logon");
}

}  // namespace

std::optional<DoorReply> ReadDoorRequest(DoorRequest& request) {
    if (CarriesNoCall(request.path) && request.body.size() > kSmallBody)
        return DoorReply::Failed(413, "too_large");
    request.sendsBytes = false;
    if (auto refused = Measure(request.body, &request.sendsBytes)) return refused;
    if (request.body.trimmed().isEmpty()) {
        request.json = QJsonObject();
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(request.body);
    if (!document.isObject()) return DoorReply::Failed(400, "malformed");
    request.json = document.object();
    return std::nullopt;
}
