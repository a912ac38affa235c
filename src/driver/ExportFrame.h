#pragma once

#include <exception>
#include <type_traits>
#include <utility>

#include "driver/ExportLock.h"
#include "log/DriverLog.h"

// Runs one export's work so that nothing reaches the host: a standard
// exception is reported with its description, any other exception (the
// DriverError of a failed lookup among them) with the export's plain message,
// and the export returns its failure result (0, or nothing). The work runs
// under the export lock.
template <typename Work, typename OnStandard, typename OnOther>
auto RunExport(Work&& work, OnStandard&& onStandard, OnOther&& onOther) noexcept
    -> std::invoke_result_t<Work, DriverLog&> {
    using Result = std::invoke_result_t<Work, DriverLog&>;
    DriverLog& log = DriverLog::Instance();
    const ExportLock lock;
    try {
        return std::forward<Work>(work)(log);
    } catch (const std::exception& error) {
        onStandard(log, error.what());
    } catch (...) {
        onOther(log);
    }
    if constexpr (!std::is_void_v<Result>) {
        return Result{};
    }
}
