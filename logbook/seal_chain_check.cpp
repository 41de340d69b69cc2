// The walk of a seal chain, the same for every store: each link is judged
// against the record it seals and the link before it, so one record changed
// is one finding, however long the chain after it.
#include "logbook_stores.h"
#include "seal.h"

namespace {

void add(ChainCheck& out, SealFinding::What what, std::int64_t position, const std::string& uid, std::string text) {
    if (out.findings.size() >= kMaxFindings) {
        ++out.findingsLeftOut;
        return;
    }
    out.findings.push_back({what, position, uid, std::move(text)});
}

std::string at(std::int64_t position) { return "record " + std::to_string(position) + " of the chain"; }

// The content of the record a link seals; no value when it is gone (or the
// read failed: *failed).
std::optional<std::string> content_of(SealSource& source, const SealMark& link, std::string* what, bool* failed) {
    SealSource::Found found = SealSource::Found::No;
    std::string content;
    if (link.kind == kSealedRun) {
        RunRecord run;
        found = source.sealed_run(link.uid, &run);
        if (found == SealSource::Found::Yes) {
            content = sealed_content(run);
            *what = described(run);
        }
    } else if (link.kind == kSealedRemark) {
        Remark remark;
        found = source.sealed_remark(link.uid, &remark);
        if (found == SealSource::Found::Yes) {
            content = sealed_content(remark);
            *what = described(remark);
        }
    }
    *failed = found == SealSource::Found::Failed;
    if (found != SealSource::Found::Yes) return std::nullopt;
    return content;
}

}  // namespace

ChainCheck walk_seal_chain(SealSource& source) {
    ChainCheck out;
    SealMark previous;   // position 0: none yet
    const bool walked = source.each_link([&](const SealMark& link) {
        out.last = link;
        const std::string name = at(link.position);
        std::string what;
        bool failed = false;
        const std::optional<std::string> content = content_of(source, link, &what, &failed);
        if (failed) return false;
        (link.kind == kSealedRemark ? out.remarks : out.runs) += 1;
        const bool gap = link.position != previous.position + 1;
        if (gap) {
            add(out, SealFinding::What::Removed, previous.position + 1, {},
                at(previous.position + 1) + (link.position > previous.position + 2 ? " to " + std::to_string(link.position - 1) : "") +
                    ": removed, with its seal");
        }
        // The next link is judged against the seal this one should have:
        // one seal changed is one finding, not two.
        std::string sealAfter = link.seal;
        if (!content) {
            add(out, SealFinding::What::Removed, link.position, link.uid,
                name + ": " + link.kind + " " + link.uid + ", sealed " + link.sealed + ", was removed");
        } else if (content_digest(*content) != link.digest) {
            add(out, SealFinding::What::Changed, link.position, link.uid,
                name + ": " + what + " was changed: what it holds no longer matches its seal");
        } else if (const auto expected = expected_seal(previous.seal, link); !gap && expected != link.seal) {
            add(out, SealFinding::What::Changed, link.position, link.uid,
                name + ": the seal of " + what + " does not follow from the seal before it: this seal, or the"
                " record before it with its seal, was changed");
            if (expected) sealAfter = *expected;
        }
        previous = link;
        previous.seal = sealAfter;
        return true;
    });
    if (!walked) {
        out.whole = false;
        return out;
    }
    std::vector<SealFinding> loose;
    if (!source.unsealed(&loose)) out.whole = false;
    for (SealFinding& f : loose) add(out, f.what, 0, f.uid, std::move(f.text));
    return out;
}
