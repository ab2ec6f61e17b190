#pragma once
// PixelColour of every count up to the limit, worked out once per limit, so
// that colouring a picture costs a lookup per pixel. Counts the table does
// not hold are coloured by the rule itself.
#include <cstdint>
#include <vector>

#include "PixelColour.h"

class ColourTable {
public:
    void Prepare(std::int32_t limit);

    // What a lookup needs, in a form that stays in registers while pixels are written.
    struct Lookup {
        const COLORREF* colours;
        std::uint32_t size;
        std::int32_t limit;

        COLORREF operator()(std::int32_t count) const
        {
            const auto index = static_cast<std::uint32_t>(count);
            return index < size ? colours[index] : PixelColour(count, limit);
        }
    };

    Lookup View() const { return {m_colours.data(), static_cast<std::uint32_t>(m_colours.size()), m_limit}; }
    COLORREF Colour(std::int32_t count) const { return View()(count); }

private:
    std::int32_t m_limit = 0;
    bool m_prepared = false;
    std::vector<COLORREF> m_colours;
};
