#include "ColumnScheduler.h"

void ColumnScheduler::Reset(std::int32_t columns, const Report* report)
{
    if (columns > m_capacity) {
        m_done.reset(new std::atomic<int>[static_cast<std::size_t>(columns)]);
        m_capacity = columns;
    }
    for (std::int32_t c = 0; c < columns; ++c)
        m_done[c].store(0, std::memory_order_relaxed);
    m_columns = columns;
    m_reported = 0;
    m_next.store(0, std::memory_order_relaxed);
    m_report = report;
}

bool ColumnScheduler::Take(std::int32_t& column)
{
    if (m_next.load(std::memory_order_relaxed) >= m_columns)
        return false;
    column = m_next.fetch_add(1, std::memory_order_relaxed);
    return column < m_columns;
}

void ColumnScheduler::Finish(std::int32_t column)
{
    m_done[column].store(1, std::memory_order_release);
    m_done[column].notify_one();
}

void ColumnScheduler::Stop()
{
    for (std::int32_t c = m_next.exchange(m_columns, std::memory_order_relaxed); c < m_columns; ++c)
        Finish(c);
}

void ColumnScheduler::ReportFinished()
{
    while (m_reported < m_columns && m_done[m_reported].load(std::memory_order_acquire))
        if (!(*m_report)(m_reported++))
            Stop();
}

void ColumnScheduler::ReportRemaining()
{
    while (m_reported < m_columns) {
        m_done[m_reported].wait(0, std::memory_order_acquire);
        if (!(*m_report)(m_reported++))
            Stop();
    }
}
