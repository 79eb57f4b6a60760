#pragma once
// The export's cancel request: an auto-reset event. The dialog's cancel
// button (or Ctrl+C in vantrel-cli) sets it; the export worker tests it
// without waiting, and a test that finds it set consumes it, as a wait with
// no time-out on an auto-reset event does.

#include <atomic>

class CExportCancelEvent {
public:
    // Ask a running export to stop. Safe from any thread and from a signal
    // handler (a lock-free atomic store).
    void Set() { m_signalled.store(true, std::memory_order_release); }
    // Drop a pending request (a new export starts clean).
    void Reset() { m_signalled.store(false, std::memory_order_release); }
    // True when a request was pending; the request is consumed.
    bool TestAndReset() { return m_signalled.exchange(false, std::memory_order_acq_rel); }
    // Looks without consuming.
    bool IsSet() const { return m_signalled.load(std::memory_order_acquire); }

private:
    std::atomic<bool> m_signalled{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};

// The one process-wide event, unsignalled at program start.
extern CExportCancelEvent g_exportCancel;
