// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/ping_response.h"

#include <algorithm>
#include <cmath>

namespace velmora {

void RoundtripAccumulator::add(double duration)
{
    ++m_count;
    if (m_count == 1) {
        m_minimum = m_maximum = duration;
    } else {
        m_minimum = std::min(m_minimum, duration);
        m_maximum = std::max(m_maximum, duration);
    }
    const double delta = duration - m_mean;
    m_mean += delta / double(m_count);
    m_squares += delta * (duration - m_mean);
}

std::optional<PingResult::Roundtrip> RoundtripAccumulator::roundtrip() const
{
    if (m_count == 0)
        return std::nullopt;
    return PingResult::Roundtrip{m_minimum, m_maximum, m_mean,
                                 std::sqrt(std::max(0.0, m_squares / double(m_count)))};
}

} // namespace velmora
