#pragma once

#include <optional>

#include "pages/door_calls.h"

// The most values one call may name: more than any procedure the door calls has parameters. A call that
// names more than its own procedure has is refused once the procedure is known.
constexpr qsizetype kMostCallValues = 64;

// Reads a door request's body before any work is done for it: one larger or more intricate than what its
// path can take is refused (the reply to send) after a single pass over its bytes, before it is parsed, so
// that a body built to cost more than its size (a million keys, deep nesting) costs little; else the body
// is parsed into request.json. The door's own limit (24 MB) bounds every body; besides:
// - the requests that carry no call's values (open, close, describe) and the log-on: 64 KB (413
//   {"code": "too_large"});
// - a call's text, all but the bytes it sends ({"base64": ...}): 13 MB, the longest page text a member
//   may have, escaped (413 {"code": "too_large"});
// - an object of more than kMostCallValues keys (400 {"code": "too_many_values"});
// - more calls than a batch may hold (413 {"code": "too_many_calls"}), nesting deeper than a batch's.
std::optional<DoorReply> ReadDoorRequest(DoorRequest& request);
