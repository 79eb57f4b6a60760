#include "cmdtarget.h"

void CCmdTarget::OnCommandRange(int first, int last, std::function<void(int)> h) {
    m_ranges.push_back({first, last, std::move(h)});
}

bool CCmdTarget::OnCmdMsg(int id) {
    if (auto it = m_handlers.find(id); it != m_handlers.end()) {
        // Copy: the handler may replace itself or destroy nothing else here.
        Handler h = it->second;
        h();
        return true;
    }
    for (const Range& r : m_ranges) {
        if (id >= r.first && id <= r.last) {
            auto h = r.handler;
            h(id);
            return true;
        }
    }
    return false;
}

bool CCmdTarget::OnUpdateCmdMsg(CCmdUI& ui) {
    if (auto it = m_updaters.find(ui.m_nID); it != m_updaters.end()) {
        it->second(ui);
        return true;
    }
    return HasHandler(ui.m_nID);
}

bool CCmdTarget::HasHandler(int id) const {
    if (m_handlers.count(id))
        return true;
    for (const Range& r : m_ranges)
        if (id >= r.first && id <= r.last)
            return true;
    return false;
}
