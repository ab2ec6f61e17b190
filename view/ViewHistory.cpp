#include "ViewHistory.h"

void ViewHistory::Append(const ViewRecord& record)
{
    if (m_records.size() == m_records.capacity())
        m_records.reserve(m_records.capacity() + m_records.capacity() / 2 + kBlock);
    m_records.push_back(record);
}

ViewRecord ViewHistory::RemoveLast()
{
    const ViewRecord last = m_records.back();
    m_records.pop_back();
    return last;
}
