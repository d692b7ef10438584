#include "online/member_reader.h"

#include <stdexcept>

#include "platform/door/server_command.h"

namespace member_exchange {

namespace {

// A member's pictures travel whole in the answer: a batch asks for few members' pictures, so that its
// answer stays within a few members' worth.
constexpr int kPictureListsPerBatch = 8;

// The members [from, to) that make the batch starting at from: within the batch's bound of calls and
// the pictures' bound, at least one.
qsizetype BatchEnd(const QList<Wanted>& wanted, qsizetype from) {
    int calls = 0;
    int pictureLists = 0;
    qsizetype to = from;
    for (; to < wanted.size(); ++to) {
        const Wanted& w = wanted[to];
        const int more = 1 + int(w.page) + int(w.pictures);
        if (to > from &&
            (calls + more > ServerBatch::kMaxCalls || pictureLists + int(w.pictures) > kPictureListsPerBatch))
            break;
        calls += more;
        pictureLists += int(w.pictures);
    }
    return to;
}

int Queue(ServerBatch& batch, const QList<ServerBatch::Reference>& references = {}) {
    const int at = batch.Add(references);
    // Readings are small, and a batch is cut to the bound of calls before it is filled.
    if (at < 0) throw std::logic_error("member readings overfill a batch");
    return at;
}

}  // namespace

void ReadMembers(ServerCommand& cmd, const QList<Wanted>& wanted,
                 const std::function<void(const Wanted&, ServerCopy&)>& got) {
    ServerBatch batch(cmd);
    for (qsizetype from = 0; from < wanted.size();) {
        const qsizetype to = BatchEnd(wanted, from);
        struct Placed {
            int member;
            int page = -1;
            int pictures = -1;
        };
        QList<Placed> placed;
        for (qsizetype i = from; i < to; ++i) {
            cmd.SetCommandText(QStringLiteral("sp_Getzpdata2"));
            cmd.SetValue(QStringLiteral("@z_filial_id"), wanted[i].id);
            placed.append(Placed{Queue(batch)});
        }
        const auto underItsName = [&](const QString& procedure, int member) {
            cmd.SetCommandText(procedure);
            return Queue(batch, {{QStringLiteral("@z_filial"), member, QStringLiteral("@z_filial")}});
        };
        for (qsizetype i = from; i < to; ++i) {
            Placed& p = placed[i - from];
            if (wanted[i].page) p.page = underItsName(QStringLiteral("sp_GetStory"), p.member);
            if (wanted[i].pictures) p.pictures = underItsName(QStringLiteral("sp_GetImage"), p.member);
        }
        const ServerBatch::Outcome outcome = batch.Send();
        if (outcome.failure) throw *outcome.failure;
        for (qsizetype i = from; i < to; ++i) {
            const Placed& p = placed[i - from];
            ServerCopy copy;
            copy.member = MemberOf([&](const QString& name) { return batch.Out(p.member, name); });
            if (copy.member.id >= 1) {
                if (p.page >= 0) copy.page = PageOf(batch.Rows(p.page));
                if (p.pictures >= 0) copy.pictures = PicturesOf(batch.Rows(p.pictures));
            }
            got(wanted[i], copy);
        }
        from = to;
    }
}

}  // namespace member_exchange
