#pragma once
#include <cstdint>

// One view of the plane, as the history keeps it (the click factor is not part of it).
struct ViewRecord {
    std::int32_t iterations;
    double centerX;
    double centerY;
    double zoom;
    bool operator==(const ViewRecord&) const = default;
};
