// The server's plain-text replies ('%'- and '@~'-separated) as any bytes off the wire.
#include "community/ebook_library.h"
#include "community/ebook_search.h"
#include "community/group_requests.h"
#include "fuzz_support.h"
#include "online/logon_rules.h"
#include "platform/http/http_client.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_support::StartBook();
    const QString reply = DecodeReplyText(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QList<QStringList> records = ebook_search::ParseReply(reply);
    for (const QStringList& record : records)
        if (record.isEmpty()) __builtin_trap();
    // The search's hits are stored field by field; a database write costs a hundred parses, so only
    // inputs that start with '@' take it.
    if (size > 0 && data[0] == '@') ebook_search::StoreHits(records.mid(0, 16));
    const LogonRules::BookRoots roots = LogonRules::ParseBookRoots(reply);
    (void)roots;
    if (const auto founded = group_requests::ParseFounding(reply); founded && founded->group <= 0) __builtin_trap();
    const group_requests::Detail detail = group_requests::ParseDetail(reply);
    (void)detail;
    (void)group_requests::Done(reply);
    (void)ebook_library::ItemId(reply);
    return 0;
}
