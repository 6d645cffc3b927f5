#pragma once
// The edge of an engine: what escapes one of its entry points (an import, a
// supply's stage, a print) leaves as EVelError, with a code a caller acts on
// and the stage the run had reached. An EVelError raised inside keeps its own
// code and stage; a cancel (EAbort) stays a cancel. The text is the one the
// office would have read, the database's context included.
#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/model/VelError.h"

#include <exception>
#include <utility>

namespace VelBoundary {

// The code of a failure that was not raised typed: a lost server and the
// store's errors by their kind, anything else as `fallback` says.
inline TVelErrorCode codeOf(const std::exception &e, TVelErrorCode fallback)
{
    if (dynamic_cast<const EOvConnectionLost *>(&e))
        return TVelErrorCode::ConnessionePersa;
    if (dynamic_cast<const EDatabaseError *>(&e))
        return TVelErrorCode::Archivio;
    if (dynamic_cast<const EAssertionFailed *>(&e))
        return TVelErrorCode::Interno;
    return fallback;
}

// `e` as the engine's error: itself when already one.
inline EVelError typed(const std::exception &e, TVelStage stage, TVelErrorCode fallback)
{
    if (const auto *vel = dynamic_cast<const EVelError *>(&e))
        return *vel;
    return EVelError(exceptionText(e), {codeOf(e, fallback), QString(), stage});
}

// Runs an entry point's body; a failure leaves typed.
template <class F>
auto run(TVelStage stage, TVelErrorCode fallback, F &&body) -> decltype(body())
{
    try {
        return std::forward<F>(body)();
    } catch (const EAbort &) {
        throw;
    } catch (const EVelError &) {
        throw;
    } catch (const std::exception &e) {
        throw typed(e, stage, fallback);
    }
}

} // namespace VelBoundary
