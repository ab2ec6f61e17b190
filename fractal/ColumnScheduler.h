#pragma once
// Hands the columns of one Compute to the threads that fill them, and lets
// the calling thread report finished columns strictly in column order.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class ColumnScheduler {
public:
    // False: no column is handed out after this report, and the columns
    // nobody took count as finished.
    using Report = std::function<bool(std::int32_t column)>;

    // Before any thread takes a column. The flag storage is kept for the next compute.
    void Reset(std::int32_t columns, const Report* report);

    // Any thread: the next column nobody has taken yet.
    bool Take(std::int32_t& column);
    // Any thread: every entry of the column has been written.
    void Finish(std::int32_t column);

    // Calling thread only: reports the finished columns that follow the last reported one.
    void ReportFinished();
    // Calling thread only: reports every remaining column, waiting for each.
    void ReportRemaining();

private:
    void Stop();

    std::unique_ptr<std::atomic<int>[]> m_done;
    std::int32_t m_capacity = 0;
    std::int32_t m_columns = 0;
    std::int32_t m_reported = 0;
    std::atomic<std::int32_t> m_next {0};
    const Report* m_report = nullptr;
};
