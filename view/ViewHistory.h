#pragma once
// The list of earlier views, oldest first. Storage is kept when records are
// removed, so stepping back and forth allocates nothing.
#include <cstddef>
#include <vector>

#include "render/ViewRecord.h"

class ViewHistory {
public:
    static constexpr std::size_t kBlock = 10;

    ViewHistory() { m_records.reserve(kBlock); }

    void Append(const ViewRecord& record);
    ViewRecord RemoveLast();
    const ViewRecord& Last() const { return m_records.back(); }
    std::size_t Count() const { return m_records.size(); }
    std::size_t Capacity() const { return m_records.capacity(); }

private:
    std::vector<ViewRecord> m_records;
};
