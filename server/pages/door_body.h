#pragma once

#include <optional>
#include <vector>

#include "pages/door_calls.h"

// The most values one call may name: more than any procedure the door calls has parameters. A call that
// names more than its own procedure has is refused once the procedure is known.
constexpr qsizetype kMostCallValues = 64;

// A door request's body read as it arrives, before any work is done for it: one larger or more intricate
// than what its path can take is refused as soon as that shows, and the rest of it is read without being
// kept, so that a body built to cost more than its size (a million keys, deep nesting) costs the service
// one pass over its bytes. The door's own limit (24 MB) bounds every body; besides:
// - the requests that carry no call's values (open, close, describe) and the log-on: 64 KB (413
//   {"code": "too_large"});
// - a call's text, all but the bytes it sends ({"base64": ...}): 13 MB, the longest page text a member
//   may have, escaped (413 {"code": "too_large"});
// - an object of more than kMostCallValues keys (400 {"code": "too_many_values"});
// - more calls than a batch may hold (413 {"code": "too_many_calls"}), nesting deeper than a batch's
//   (400 {"code": "malformed"}).
class DoorBodyReader {
public:
    // announced: the length the request says its body has (-1 unknown), kept for at once.
    DoorBodyReader(const QString& path, qint64 announced);

    // The next piece of the body.
    void take(const char* data, size_t size);
    // After the last piece: the refusal, or nothing with request.json and request.sendsBytes set.
    std::optional<DoorReply> finish(DoorRequest& request);

private:
    struct Frame {
        bool object = false;
        qsizetype count = 0;    // keys of an object
        bool wantsKey = false;  // an object between '{' or ',' and its next key
        bool lastKeyWasBytes = false;
    };
    void measure(const char* data, size_t size);
    void endString();
    bool valueStarts();  // false once refused

    bool small_;
    QByteArray body_;
    std::optional<DoorReply> refused_;
    std::vector<Frame> frames_;
    qsizetype total_ = 0, bytes_ = 0, keys_ = 0, arrayValues_ = 0;
    bool sendsBytes_ = false;
    // Where the pass stands between two pieces.
    bool inString_ = false, escaped_ = false, stringIsKey_ = false, stringIsBytes_ = false;
    bool inScalar_ = false;
    QByteArray key_;  // the start of the key being read
};
