// The seal chain: every run and every remark is sealed when it is stored,
// so a record changed, removed or put in afterwards, outside the program,
// shows. A record's seal is
//
//   digest = SHA-256(content)
//   seal   = SHA-256(field("orvypc seal 1"), field(previous seal), field(kind),
//                    field(uid), field(sealed), field(digest))
//
// where `previous seal` is the seal of the record stored just before it (64
// zeros for the first), `kind` is "run" or "remark", `sealed` the UTC time of
// sealing, digests and seals are 64 lower-case hex digits, and field(x) is
// x's length as four bytes, most significant first, then x's bytes.
//
// The content is the record as the store holds it, made of fields: a run's
// own values, then each entry it read, each luminaire whose whole list it
// read and each status snapshot it took, each group sorted so that the
// order in which a store hands them back does not matter; then the record's
// site, unless it is the site of its address (so the content of what was
// stored before sites is what it was). A repair is a remark whose content
// begins with its kind, "repair", and holds its part. Row ids are never
// part of it: the same record has the same content in every store.
//
// A further kind of record (sites, repairs...) gets a kind name, a uid, a
// sealed_content() of its own, and its store's reading of it for the walk.
#pragma once

#include "logbook.h"

#include <optional>
#include <string>

inline constexpr const char* kSealedRun = "run";
inline constexpr const char* kSealedRemark = "remark";

std::string sealed_content(const RunRecord& run);
std::string sealed_content(const Remark& remark);

// The link after `last` (position 0: the chain is empty) for a record;
// none when the digest cannot be made.
std::optional<SealMark> next_seal(const SealMark& last, const std::string& kind, const std::string& uid,
                                  const std::string& content, const std::string& sealedAt);
// The seal `link` must have after `previousSeal` (empty: the first).
std::optional<std::string> expected_seal(const std::string& previousSeal, const SealMark& link);
std::optional<std::string> content_digest(const std::string& content);

// A record in words, for the findings of a check.
std::string described(const RunRecord& run);
std::string described(const Remark& remark);

// What no seal covers: a run or a remark without a link (its header only),
// an entry that the run which stored it did not read, a snapshot of no run.
SealFinding unsealed_finding(const RunRecord& run);
SealFinding unsealed_finding(const Remark& remark);
SealFinding unread_finding(const LogEntry& entry);
SealFinding loose_finding(const StatusSnapshot& snapshot);
