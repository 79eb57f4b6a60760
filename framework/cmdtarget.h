#pragma once
// Command routing. Every object that can take part in routing (application,
// main frame, child frame, document, view) is a CCmdTarget and registers its
// handlers by command id:
//
//     OnCommand(ID_START, [this] { Start(); });
//     OnUpdateCommand(ID_START, [](CCmdUI& ui) { ui.Enable(!theApp.m_bAcquiring); });
//
// The main frame routes a command to the active view, then its document, the
// active child frame, the main frame and the application; the first target
// that has a handler runs it. Before a menu opens and periodically for the
// toolbar, the same route is asked for each item's state: an update handler
// may enable/disable or check it; an item with no command handler anywhere on
// the route is shown disabled.

#include <functional>
#include <map>
#include <vector>

class CCmdUI {
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true) { m_bEnabled = on; }
    // 0 unchecked, 1 checked.
    void SetCheck(int check = 1) {
        m_bCheckable = true;
        m_nCheck = check;
    }

    int m_nID;
    bool m_bEnabled = true;
    bool m_bCheckable = false;
    int m_nCheck = 0;
};

class CCmdTarget {
public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    void OnCommand(int id, Handler h) { m_handlers[id] = std::move(h); }
    // Handles a whole range of ids (first..last inclusive); the handler gets the id.
    void OnCommandRange(int first, int last, std::function<void(int)> h);
    void OnUpdateCommand(int id, UpdateHandler h) { m_updaters[id] = std::move(h); }

    // Runs this target's handler for id; false when it has none.
    virtual bool OnCmdMsg(int id);
    // Fills ui from this target's update handler. Returns true when this
    // target has a command handler (or an update handler) for the id, so the
    // route stops here.
    virtual bool OnUpdateCmdMsg(CCmdUI& ui);
    bool HasHandler(int id) const;

private:
    std::map<int, Handler> m_handlers;
    std::map<int, UpdateHandler> m_updaters;
    struct Range {
        int first, last;
        std::function<void(int)> handler;
    };
    std::vector<Range> m_ranges;
};
