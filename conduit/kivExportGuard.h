// The one boundary between the host and the code behind the exports: what
// each export answers when there is no conduit component, when a Palm
// Desktop library call failed, and when anything else escaped its body is one
// table; RunExport runs a body and turns whatever escapes into that answer.
#pragma once
#include <windows.h>

#include <cstddef>
#include <iterator>

#include "conduit/kivPalmComp.h"
#include "conduit/kivPalmSyncError.h"
#include "rtl/Diagnostics.h"

namespace kiv {

// The exports that reach the component, in the order of the answer table.
enum class ExportId : int {
    GetConduitName,
    GetConduitVersion,
    GetConduitInfo,
    OpenConduit,
    ConfigureConduit,
    CfgConduit,
    DllRegisterServer,
    DllUnregisterServer,
    Count
};

// The Conduit API's own answers.
constexpr long kConduitDone = 0;
constexpr long kConduitFailed = -1;
constexpr long kNoConduitVersion = 0;
constexpr long kInfoWithoutComponent = 1;  // what hosts have always seen from GetConduitInfo

// How a Palm error code that escaped becomes the export's answer.
enum class PalmErrorAnswer {
    Failure,      // the export's failure answer
    Code,         // the Palm code itself
    NegativeCode  // the code when it is negative, else the failure answer: a positive HRESULT reads as success
};

struct ExportAnswers {
    ExportId id;
    const char* name;  // as the export table spells it, for the debug output
    long noComponent;
    PalmErrorAnswer palmError;
    long failure;
};

inline constexpr ExportAnswers kExportAnswers[] = {
    {ExportId::GetConduitName, "GetConduitName", kConduitFailed, PalmErrorAnswer::Failure, kConduitFailed},
    {ExportId::GetConduitVersion, "GetConduitVersion", kNoConduitVersion, PalmErrorAnswer::Failure, kNoConduitVersion},
    {ExportId::GetConduitInfo, "GetConduitInfo", kInfoWithoutComponent, PalmErrorAnswer::Failure, kConduitFailed},
    {ExportId::OpenConduit, "OpenConduit", kConduitFailed, PalmErrorAnswer::Code, kConduitFailed},
    {ExportId::ConfigureConduit, "ConfigureConduit", kConduitFailed, PalmErrorAnswer::Failure, kConduitFailed},
    {ExportId::CfgConduit, "CfgConduit", kConduitFailed, PalmErrorAnswer::Failure, kConduitFailed},
    {ExportId::DllRegisterServer, "DllRegisterServer", S_FALSE, PalmErrorAnswer::NegativeCode, E_FAIL},
    {ExportId::DllUnregisterServer, "DllUnregisterServer", E_FAIL, PalmErrorAnswer::Failure, E_FAIL},
};
static_assert(std::size(kExportAnswers) == static_cast<size_t>(ExportId::Count));

constexpr const ExportAnswers& AnswersOf(ExportId id) { return kExportAnswers[static_cast<int>(id)]; }

constexpr bool AnswersInOrder() {
    for (size_t i = 0; i < std::size(kExportAnswers); ++i)
        if (static_cast<size_t>(kExportAnswers[i].id) != i) return false;
    return true;
}
static_assert(AnswersInOrder(), "one row per export, in the order of ExportId");

constexpr long AnswerToPalmError(const ExportAnswers& answers, long code) noexcept {
    switch (answers.palmError) {
    case PalmErrorAnswer::Code:
        return code;
    case PalmErrorAnswer::NegativeCode:
        return code < 0 ? code : answers.failure;
    case PalmErrorAnswer::Failure:
        break;
    }
    return answers.failure;
}

// Runs an export's body; nothing escapes. A body returns its own answers for
// the arguments it refuses; everything it throws is answered from the table,
// and reported on the debug output (rtl/Diagnostics.h) with the export's name.
template <class Result, class Body>
Result RunExport(ExportId id, Body&& body) noexcept {
    const ExportAnswers& answers = AnswersOf(id);
    try {
        return static_cast<Result>(body());
    } catch (const ENoComponent&) {
        rtl::ReportCaught(answers.name);
        return static_cast<Result>(answers.noComponent);
    } catch (const EPalmSyncError& e) {
        rtl::ReportCaught(answers.name);
        return static_cast<Result>(AnswerToPalmError(answers, e.ErrorCode()));
    } catch (...) {
        rtl::ReportCaught(answers.name);
        return static_cast<Result>(answers.failure);
    }
}

}  // namespace kiv
