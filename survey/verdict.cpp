#include "verdict.h"

const VerdictStyle& verdict_style(Verdict verdict) {
    for (const VerdictStyle& style : kVerdictStyles) {
        if (style.verdict == verdict) return style;
    }
    return kVerdictStyles.back();
}

Verdict judge_luminaire(std::uint8_t failureBits, bool latestTestFailed) {
    Verdict worst = latestTestFailed ? kLatestTestFailedVerdict : Verdict::Ok;
    for (const FailureBitRule& rule : kFailureBitRules) {
        if ((failureBits >> rule.bit & 1U) == 0) continue;
        if (rule.verdict == Verdict::Fault || worst == Verdict::Ok) worst = rule.verdict;
    }
    return worst;
}

std::string failure_words(std::uint8_t failureBits, bool latestTestFailed) {
    std::string words;
    auto add = [&](const char* text) {
        if (!words.empty()) words += "; ";
        words += text;
    };
    for (const FailureBitRule& rule : kFailureBitRules) {
        if (failureBits >> rule.bit & 1U) add(rule.heading);
    }
    if (latestTestFailed) add(kLatestTestFailedWords);
    return words;
}
